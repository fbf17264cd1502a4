#include "ui/password.h"

#include "archive/password.h"
#include "archive/entry.h"
#include "paths/path_routines.h"
#include "platform/bytes.h"
#include "platform/memory.h"
#include "platform/process.h"
#include "platform/text.h"
#include "platform/ui.h"
#include "base/abort.h"
#include "base/exit_codes.h"
#include "base/boxes.h"
#include "ui/resources.h"
#include "base/settings.h"
#include "ui/cjk_font.h"

namespace {

// The template, or the end of the program. Whatever abort point was armed
// before belongs to a pass or a start-up that has returned; jumping there
// would resume a dead frame. So a failure while the template is unpacked
// comes back here, after its box, and ends the program.
uint8_t* UnpackTemplateOrEnd() {
  if (ARM_ABORT_POINT() != kJumpCompleted) SysExitProcess(kExitFailure);
  uint8_t* dialogTemplate = UnpackPasswordTemplate();
  if (dialogTemplate == nullptr) FatalError(kNoMemoryForResourcesText);
  return dialogTemplate;
}

// The dialog manager sends WM_SETFONT before the controls exist and again
// when the dialog gives itself the CJK font; only the field takes it.
void OnPasswordSetFont(WindowHandle dialog) {
  if (g_cjkFont != nullptr) SysSetFont(dialog, kPasswordField, g_cjkFont);
}

void OnPasswordInit(WindowHandle dialog) {
  if (g_cjkFont != nullptr) SysSetFont(dialog, 0, g_cjkFont);
  // The template's caption names the stub; a setup with its own caption
  // names itself here too.
  const char* caption = RunCaption();
  if (caption != kStubCaption) SysSetWindowText(dialog, caption);
  SysCentreWindow(dialog);
}

// An empty field keeps the dialog open. The field's limit counts characters,
// so a password of accented letters is as long as one of plain ones. The
// field's copy is wiped once the password is stored.
void OnPasswordOk(WindowHandle dialog) {
  char typed[kPasswordFieldSize];
  typed[0] = 0;
  SysGetDlgItemText(dialog, kPasswordField, typed, kPasswordFieldSize);
  typed[kPasswordFieldSize - 1] = 0;
  CutToUnits(typed, kPasswordUnits);
  bool stored = StorePassword(typed);
  WipeBytes(typed, sizeof(typed));
  if (stored) SysEndDialog(dialog, 1);
}

}  // namespace

bool AskPassword(WindowHandle owner) {
  if (!g_entry.encryptionFlag) return true;
  uint8_t* dialogTemplate = UnpackTemplateOrEnd();
  intptr_t result = SysRunDialog(dialogTemplate, owner, PasswordDialogProc);
  SysFree(dialogTemplate);
  return result != 0;
}

// Return and Escape come as the OK and Cancel commands; the buttons carry
// those ids, so that a click does what the key does.
static_assert(kPasswordOkButton == kIdOk && kPasswordCancelButton == kIdCancel,
              "the buttons are the dialog's OK and Cancel");

intptr_t DIALOG_CALLBACK PasswordDialogProc(WindowHandle dialog, uint32_t message, uintptr_t wParam,
                                            intptr_t lParam) {
  (void)lParam;
  switch (message) {
    case kWmSetFont:
      OnPasswordSetFont(dialog);
      return 0;
    case kWmInitDialog:
      OnPasswordInit(dialog);
      return 1;  // the focus goes to the first control that takes it: the field
    case kWmCommand:
      if (CommandId(wParam) == kIdOk) OnPasswordOk(dialog);
      if (CommandId(wParam) == kIdCancel) SysEndDialog(dialog, 0);
      return 0;
    default:
      return 0;
  }
}
