#include "tests/support/process_state.h"

#include "archive/decrypt.h"
#include "archive/entry.h"
#include "archive/input.h"
#include "archive/scanner.h"
#include "archive/volumes.h"
#include "inflate/crc32.h"
#include "inflate/inflate.h"
#include "inflate/output.h"
#include "paths/output_paths.h"
#include "stub/abort.h"
#include "stub/messages.h"
#include "stub/resources.h"
#include "stub/run_facts.h"
#include "stub/settings.h"
#include "stub/work_memory.h"
#include "ui/cjk_font.h"
#include "ui/main_dialog.h"
#include "ui/meter.h"
#include "ui/progress.h"

void ResetProcessState() {
  // Top to bottom, so that what a module frees is still there when it does.
  ResetMainDialog();
  ResetProgressDisplay();
  ResetMeter();
  g_cjkFont = nullptr;
  ResetResources();
  ResetScanner();
  ResetVolumes();
  ResetArchiveInput();
  ResetEntry();
  ResetCipher();
  ResetOutputSink();
  FreeDecodeTables();
  g_runningCrc = 0;
  ResetOutputPaths();
  ResetRunFacts();
  FreeResources();
  FreeWorkMemory();
  ResetSettings();
  ResetAbortPoint();
}
