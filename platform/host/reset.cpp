#include "platform/host/host_reset.h"

#include "platform/host/host_boxes.h"
#include "platform/host/host_dialog_script.h"
#include "platform/host/host_memory.h"
#include "platform/host/host_paths.h"
#include "platform/host/host_pass_folders.h"
#include "platform/host/host_process.h"
#include "platform/host/host_starter.h"
#include "platform/host/host_system.h"
#include "platform/host/host_ui.h"
#include "platform/host/host_volumes.h"
#include "platform/host/host_window.h"

void HostResetPlatform() {
  HostClearBoxes();
  HostSetBoxObserver(nullptr);
  HostResetDialogScript();
  HostFailAllocations(0);
  for (char letter = 'A'; letter <= 'Z'; ++letter) HostSetVolumeLabel(letter, nullptr);
  HostResetPaths();
  HostEndPassFolders();
  HostResetProcess();
  HostResetStarter();
  HostClearEnvironmentOverrides();
  HostSetWindowsDirectory(nullptr);
  HostSetCodePage(1252);
  HostSetOemCodePage(437);
  HostSetClock(0, 0);
  HostSetModuleFileName(nullptr);
  HostResetUi();
  HostClearWindowCalls();
}
