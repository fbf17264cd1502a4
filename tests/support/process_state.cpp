#include "tests/support/process_state.h"

#include "archive/decrypt.h"
#include "archive/entry.h"
#include "archive/input.h"
#include "archive/scanner.h"
#include "archive/volumes.h"
#include "inflate/crc32.h"
#include "inflate/output.h"
#include "paths/output_paths.h"
#include "platform/bytes.h"
#include "platform/files.h"
#include "platform/memory.h"
#include "stub/abort.h"
#include "stub/checks.h"
#include "stub/resources.h"
#include "stub/settings.h"
#include "stub/startup.h"
#include "stub/work_memory.h"

namespace {

void CloseHandle(FileHandle* handle) {
  if (*handle > 0) SysClose(*handle);
  *handle = 0;
}

template <typename T>
void Zero(T* value) {
  FillBytes(value, 0, sizeof(T));
}

}  // namespace

void ResetProcessState() {
  CloseHandle(&g_archive);
  CloseHandle(&g_output);
  FreeWorkMemory();
  FreeResources();
  if (g_startupPrompt != nullptr) SysFree(g_startupPrompt);
  g_startupPrompt = nullptr;

  // Start-up.
  FillBytes(reinterpret_cast<uint8_t*>(&g_settings) + kSettingsMarkerLength, 0,
            sizeof(g_settings) - kSettingsMarkerLength);
  Zero(&g_executablePath);
  Zero(&g_textLine);
  Zero(&g_title);
  Zero(&g_infoText);
  Zero(&g_formatBuffer);
  g_unattendedMode = 0;
  g_spannedFlag = 0;
  g_exeVolumesFlag = 0;
  g_currentDisk = 1;  // a spanned set starts on its first disk
  Zero(&g_signatures);
  Zero(&g_abortPoint);
  g_jumpCode = 0;
  g_mainDialog = nullptr;

  // The pass.
  Zero(&g_targetFolder);
  Zero(&g_nameBuffer);
  Zero(&g_outputPath);
  Zero(&g_localHeader);
  Zero(&g_keys);
  g_overwriteSetting = 0;
  g_encryptionFlag = 0;
  g_dataDescriptorFlag = 0;
  g_storedPassword = nullptr;
  g_passRunning = 0;
  g_inputCursor = nullptr;
  g_inputCount = 0;
  g_remainingCompressed = 0;
  g_inputMemoryMode = 0;
  g_outputCursor = nullptr;
  g_outputCount = 0;
  g_outputMemoryMode = 0;
  g_outputMemoryRoom = 0;
  g_bytesDone = 0;
  g_lastMeterMark = 0;
  g_fileCounter = 0;
  g_meterShown = 0;
  g_runningCrc = 0;
}
