#include "tests/support/process_state.h"

#include "archive/password.h"
#include "archive/aes.h"
#include "archive/decrypt.h"
#include "archive/entry.h"
#include "archive/input.h"
#include "extract/scanner.h"
#include "archive/volumes.h"
#include "archive/crc32.h"
#include "inflate/inflate.h"
#include "extract/output.h"
#include "paths/output_paths.h"
#include "base/abort.h"
#include "base/messages.h"
#include "ui/resources.h"
#include "base/run_facts.h"
#include "base/run_log.h"
#include "base/settings.h"
#include "base/work_memory.h"
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
  ResetAesEntry();
  ResetPassword();
  ResetOutputSink();
  ResetInflate();
  ResetCrc();
  ResetOutputPaths();
  ResetRunLog();
  ResetRunFacts();
  FreeResources();
  FreeWorkMemory();
  ResetSettings();
  ResetAbortPoint();
}
