// Windows, controls, timers and the message queue: the calls of the main
// dialog, the progress meter and the message pump. On the host there are no
// windows; the calls do nothing, apart from a queue and window words that
// tests can fill and read (platform/host/host_ui.h).
#pragma once

#include "platform/password_ui.h"
#include "platform/types.h"

// Window messages, as the platform numbers them.
const uint32_t kWmCreate = 0x0001;
const uint32_t kWmDestroy = 0x0002;
const uint32_t kWmPaint = 0x000F;
const uint32_t kWmSetCursor = 0x0020;
const uint32_t kWmVKeyToItem = 0x002E;
const uint32_t kWmGetDlgCode = 0x0087;
const uint32_t kWmNcMouseMove = 0x00A0;
const uint32_t kWmNcLButtonDown = 0x00A1;
const uint32_t kWmNcLButtonDblClk = 0x00A3;
const uint32_t kWmKeyDown = 0x0100;
const uint32_t kWmChar = 0x0102;
const uint32_t kWmTimer = 0x0113;
const uint32_t kWmMouseMove = 0x0200;
const uint32_t kWmLButtonDown = 0x0201;
const uint32_t kWmLButtonDblClk = 0x0203;
const uint32_t kWmUser = 0x0400;

// Messages of the standard controls and of dialogs.
const uint32_t kEmLimitText = 0x00C5;
const uint32_t kBmGetCheck = 0x00F0;
const uint32_t kBmSetCheck = 0x00F1;
const uint32_t kBmSetStyle = 0x00F4;
const uint32_t kDmSetDefId = kWmUser + 1;
const uint32_t kBsPushButton = 0x0;
const uint32_t kBsDefPushButton = 0x1;
const intptr_t kDlgcStatic = 0x100;  // WM_GETDLGCODE: no focus, no keys

// A window procedure has the same shape as a dialog procedure.
typedef DialogProcedure WindowProcedure;

// Controls of a dialog by id. Every call does nothing when there is no such
// control.
int SysHasControl(WindowHandle dialog, int control);
void SysDestroyControl(WindowHandle dialog, int control);
void SysShowControl(WindowHandle dialog, int control, int visible);
void SysEnableControl(WindowHandle dialog, int control, int enabled);

void SysSetWindowText(WindowHandle window, const char* text);
intptr_t SysSendMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);
intptr_t SysDefWindowProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// Posts WM_COMMAND with `command` as the whole first parameter.
void SysPostCommand(WindowHandle window, int command);

// SetForegroundWindow, then SetActiveWindow.
void SysBringToFront(WindowHandle window);

// The whole client area is to be repainted, without erasing it first.
void SysInvalidateWindow(WindowHandle window);

WindowHandle SysGetParent(WindowHandle window);
WindowHandle SysGetLastActivePopup(WindowHandle window);

// SetTimer with no callback: the timer's value, 0 when none could be made.
uintptr_t SysSetTimer(WindowHandle window, uintptr_t id, uint32_t milliseconds);
void SysKillTimer(WindowHandle window, uintptr_t id);

// One message of the thread's queue, laid out as the platform's MSG.
struct QueuedMessage {
  WindowHandle window;
  uint32_t message;
  uintptr_t wParam;
  intptr_t lParam;
  uint32_t time;
  int32_t x;
  int32_t y;
};

// Takes the next message of the thread's queue (any window, any message);
// 0 when the queue is empty.
int SysPeekMessage(QueuedMessage* message);

// TranslateMessage, then DispatchMessageA.
void SysDispatchMessage(const QueuedMessage* message);

// Registers a window class: CS_HREDRAW | CS_VREDRAW, the arrow cursor, no
// icon, no background brush, no menu, `windowBytes` extra bytes per window.
// The result is not reported: a class that cannot be registered leaves its
// control out of the dialog.
void SysRegisterWindowClass(InstanceHandle instance, const char* name, WindowProcedure procedure,
                            int windowBytes);

uint16_t SysGetWindowWord(WindowHandle window, int offset);
void SysSetWindowWord(WindowHandle window, int offset, uint16_t value);
