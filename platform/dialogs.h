// Message boxes. The style values and answers are the platform's MB_* and ID*
// constants, so the logic above can pass them through unchanged.
#pragma once

#include "platform/types.h"

const uint32_t kBoxOk = 0x0;            // MB_OK
const uint32_t kBoxOkCancel = 0x1;      // MB_OKCANCEL
const uint32_t kBoxAbortRetryIgnore = 0x2;
const uint32_t kBoxYesNoCancel = 0x3;
const uint32_t kBoxYesNo = 0x4;
const uint32_t kBoxIconError = 0x10;    // MB_ICONERROR
const uint32_t kBoxIconQuestion = 0x20;
const uint32_t kBoxIconExclamation = 0x30;
const uint32_t kBoxTaskModal = 0x2000;

const int kAnswerOk = 1;
const int kAnswerCancel = 2;
const int kAnswerAbort = 3;
const int kAnswerRetry = 4;
const int kAnswerIgnore = 5;
const int kAnswerYes = 6;
const int kAnswerNo = 7;

int SysMessageBox(WindowHandle owner, const char* text, const char* caption, uint32_t style);
