// Host-only: a record of the window calls a pass makes (status line, meter),
// so that tests can see what a user would see change in the dialog.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct HostWindowCall {
  enum Kind { kSetText, kSendMessage, kInvalidate, kUpdate };
  Kind kind;
  int control;        // 0 for kUpdate
  uint32_t message;   // kSendMessage only
  uint32_t wParam;    // kSendMessage only
  std::string text;   // kSetText only
};

// Recording is off until a test turns it on (the host tools make these calls
// too, and a long run would only pile them up).
void HostRecordWindowCalls(bool on);

// Every call recorded since the last HostClearWindowCalls, oldest first.
const std::vector<HostWindowCall>& HostWindowCalls();

// Forgets the calls and turns recording off.
void HostClearWindowCalls();
