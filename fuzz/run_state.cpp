#include "fuzz/run_state.h"

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
#include "platform/host/host_boxes.h"
#include "platform/host/host_paths.h"
#include "platform/host/host_system.h"
#include "platform/host/host_volumes.h"
#include "platform/memory.h"
#include "stub/abort.h"
#include "stub/checks.h"
#include "stub/resources.h"
#include "stub/settings.h"
#include "stub/startup.h"
#include "stub/work_memory.h"

namespace {

// Handles are 0 when none is open; fd 0 is never one the stub opened.
void CloseHandle(FileHandle* handle) {
  if (*handle > 0) SysClose(*handle);
  *handle = 0;
}

void ReleaseRun() {
  CloseHandle(&g_archive);
  CloseHandle(&g_output);
  FreeWorkMemory();
  FreeResources();
  SysFree(g_startupPrompt);
  g_startupPrompt = nullptr;
}

void ResetStubState() {
  static const uint8_t kMarker[kSettingsMarkerLength] = {'Q', 'J', 'V', 0x01, 's', 'f', 'x', 0x02};
  FillBytes(&g_settings, 0, sizeof(g_settings));
  CopyBytes(g_settings.marker, kMarker, kSettingsMarkerLength);
  FillBytes(&g_abortPoint, 0, sizeof(g_abortPoint));
  g_jumpCode = 0;
  g_mainDialog = nullptr;
  FillBytes(g_formatBuffer, 0, sizeof(g_formatBuffer));
  FillBytes(g_signatures, 0, sizeof(g_signatures));
  FillBytes(g_textLine, 0, sizeof(g_textLine));
  FillBytes(g_title, 0, sizeof(g_title));
  FillBytes(g_infoText, 0, sizeof(g_infoText));
  g_spannedFlag = 0;
  g_exeVolumesFlag = 0;
  FillBytes(g_executablePath, 0, sizeof(g_executablePath));
  g_unattendedMode = 0;
}

void ResetArchiveState() {
  g_storedPassword = nullptr;
  FillBytes(g_keys, 0, sizeof(g_keys));
  FillBytes(&g_localHeader, 0, sizeof(g_localHeader));
  FillBytes(g_nameBuffer, 0, sizeof(g_nameBuffer));
  g_encryptionFlag = 0;
  g_dataDescriptorFlag = 0;
  g_inputCursor = nullptr;
  g_inputCount = 0;
  g_remainingCompressed = 0;
  g_inputMemoryMode = 0;
  g_passRunning = 0;
  g_currentDisk = 1;  // a spanned set starts on its first disk
}

void ResetOutputState() {
  g_runningCrc = 0;
  g_outputCursor = nullptr;
  g_outputCount = 0;
  FillBytes(g_outputPath, 0, sizeof(g_outputPath));
  g_outputMemoryMode = 0;
  g_outputMemoryRoom = 0;
  g_bytesDone = 0;
  g_lastMeterMark = 0;
  g_fileCounter = 0;
  g_meterShown = 0;
  FillBytes(g_targetFolder, 0, sizeof(g_targetFolder));
  g_overwriteSetting = 0;
}

void ResetHostState() {
  HostClearBoxes();
  HostSetBoxObserver(nullptr);
  for (char letter = 'A'; letter <= 'Z'; ++letter) HostSetVolumeLabel(letter, nullptr);
  HostResetPaths();
  HostClearEnvironmentOverrides();
  HostSetWindowsDirectory(nullptr);
  HostSetCodePage(1252);
  HostSetModuleFileName(nullptr);
}

}  // namespace

void ResetRunState() {
  ReleaseRun();
  ResetStubState();
  ResetArchiveState();
  ResetOutputState();
  ResetHostState();
}
