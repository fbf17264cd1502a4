// Host-only: the thread's message queue, window parents and window words,
// which tests fill and read to drive the message pump and the meter's
// window procedure without windows.
#pragma once

#include <vector>

#include "platform/ui.h"

// Appends a message to the queue SysPeekMessage takes from.
void HostQueueWindowMessage(const QueuedMessage& message);

// The messages SysDispatchMessage was given, oldest first.
const std::vector<QueuedMessage>& HostDispatchedMessages();

// Messages still in the queue.
size_t HostQueuedMessageCount();

// How many times SysPeekMessage was asked: a message pump that finds the
// queue empty asks once.
size_t HostPeekCount();

// What SysGetParent answers for `window` (null unless set).
void HostSetParent(WindowHandle window, WindowHandle parent);

// Forgets the queue, the dispatched messages, the parents and the window words.
void HostResetUi();
