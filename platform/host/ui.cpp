// Host side of the window calls: no windows. The queue, the parents and the
// window words are real, so that the pump and the meter's procedure can run
// in tests; everything else does nothing.
#include "platform/ui.h"

#include <deque>
#include <map>
#include <utility>

#include "platform/host/host_ui.h"

namespace {

struct UiState {
  std::deque<QueuedMessage> queue;
  std::vector<QueuedMessage> dispatched;
  std::map<WindowHandle, WindowHandle> parents;
  std::map<std::pair<WindowHandle, int>, uint16_t> words;
  size_t peeks = 0;
};

UiState& State() {
  static UiState state;
  return state;
}

}  // namespace

void HostQueueWindowMessage(const QueuedMessage& message) { State().queue.push_back(message); }

const std::vector<QueuedMessage>& HostDispatchedMessages() { return State().dispatched; }

size_t HostQueuedMessageCount() { return State().queue.size(); }

size_t HostPeekCount() { return State().peeks; }

void HostSetParent(WindowHandle window, WindowHandle parent) { State().parents[window] = parent; }

void HostResetUi() { State() = UiState(); }

int SysHasControl(WindowHandle, int) { return 0; }
void SysDestroyControl(WindowHandle, int) {}
void SysShowControl(WindowHandle, int, int) {}
void SysEnableControl(WindowHandle, int, int) {}
void SysSetWindowText(WindowHandle, const char*) {}
intptr_t SysSendMessage(WindowHandle, uint32_t, uintptr_t, intptr_t) { return 0; }
intptr_t SysDefWindowProc(WindowHandle, uint32_t, uintptr_t, intptr_t) { return 0; }
void SysPostCommand(WindowHandle, int) {}
void SysBringToFront(WindowHandle) {}
void SysInvalidateWindow(WindowHandle) {}

WindowHandle SysGetParent(WindowHandle window) {
  auto found = State().parents.find(window);
  return found == State().parents.end() ? nullptr : found->second;
}

WindowHandle SysGetLastActivePopup(WindowHandle window) { return window; }
uintptr_t SysSetTimer(WindowHandle, uintptr_t id, uint32_t) { return id; }
void SysKillTimer(WindowHandle, uintptr_t) {}

int SysPeekMessage(QueuedMessage* message) {
  ++State().peeks;
  if (State().queue.empty()) return 0;
  *message = State().queue.front();
  State().queue.pop_front();
  return 1;
}

void SysDispatchMessage(const QueuedMessage* message) { State().dispatched.push_back(*message); }

void SysRegisterWindowClass(InstanceHandle, const char*, WindowProcedure, int) {}

uint16_t SysGetWindowWord(WindowHandle window, int offset) {
  auto found = State().words.find({window, offset});
  return found == State().words.end() ? 0 : found->second;
}

void SysSetWindowWord(WindowHandle window, int offset, uint16_t value) {
  State().words[{window, offset}] = value;
}
