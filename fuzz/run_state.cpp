#include "fuzz/run_state.h"

#include "platform/host/host_boxes.h"
#include "platform/host/host_paths.h"
#include "platform/host/host_system.h"
#include "platform/host/host_volumes.h"
#include "tests/support/process_state.h"

namespace {

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
  ResetProcessState();
  ResetHostState();
}
