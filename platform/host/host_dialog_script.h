// Host-only: a scripted stand-in for a modal dialog run from a template. The
// dialog procedure is called as the platform would call it (WM_SETFONT, then
// WM_INITDIALOG, then one WM_COMMAND per scripted button press; a font given to
// the dialog itself is announced with WM_SETFONT, as the platform does), so
// tests can drive a real procedure without windows.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/password_ui.h"

// What a run of the dialog looked like.
struct HostDialogRun {
  WindowHandle owner;
  std::string caption;        // read from the template, as the dialog would show it
  int centred;                // SysCentreWindow calls
  std::vector<int> fontControls;  // SysSetFont calls: 0 for the dialog itself
  intptr_t result;            // what SysRunDialog returned
};

// Queues the text the user types into `control` before the next step.
void HostQueueTyping(int control, const std::string& text);

// Queues a press of the button with command id `id`.
void HostQueuePress(int id);

// Queues something to happen at that point of the script (such as memory
// running out before the next press).
void HostQueueAction(std::function<void()> action);

// The dialogs run since the last reset, oldest first.
const std::vector<HostDialogRun>& HostDialogRuns();

// Forgets the script, the fields and the runs.
void HostResetDialogScript();

// A dialog whose script ends before SysEndDialog is called returns this, as a
// dialog that could not be made does.
const intptr_t kHostDialogNotEnded = -1;
