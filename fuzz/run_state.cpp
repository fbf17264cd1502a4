#include "fuzz/run_state.h"

#include "platform/host/host_reset.h"
#include "tests/support/process_state.h"

void ResetRunState() {
  ResetProcessState();
  HostResetPlatform();
}
