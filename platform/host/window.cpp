// Host side of the window calls: there are no windows; each call is recorded
// for the tests that watch them.
#include "platform/window.h"

#include "platform/host/host_window.h"

namespace {

bool g_recording;

std::vector<HostWindowCall>& Calls() {
  static std::vector<HostWindowCall> calls;
  return calls;
}

void Record(const HostWindowCall& call) {
  if (g_recording) Calls().push_back(call);
}

}  // namespace

void HostRecordWindowCalls(bool on) { g_recording = on; }

const std::vector<HostWindowCall>& HostWindowCalls() { return Calls(); }

void HostClearWindowCalls() {
  Calls().clear();
  g_recording = false;
}

void SysSetDlgItemText(WindowHandle, int control, const char* text) {
  Record({HostWindowCall::kSetText, control, 0, 0, text});
}

int32_t SysSendDlgItemMessage(WindowHandle, int control, uint32_t message, uint32_t wParam, int32_t) {
  Record({HostWindowCall::kSendMessage, control, message, wParam, ""});
  return 0;
}

void SysInvalidateControl(WindowHandle, int control) {
  Record({HostWindowCall::kInvalidate, control, 0, 0, ""});
}

void SysUpdateWindow(WindowHandle) { Record({HostWindowCall::kUpdate, 0, 0, 0, ""}); }

void SysShowBusyCursor(int) {}
