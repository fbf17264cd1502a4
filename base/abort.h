// The one way the stub gives up: show the reason, then jump back to the abort
// point with a jump code. Whatever raises an error never returns; nothing that
// must be undone after an abort may live only in the frames the jump skips.
#pragma once

#include "platform/format.h"
#include "platform/jump.h"
#include "platform/types.h"

// Jump codes: what the arming call returns the second time.
const int kJumpCompleted = 0;  // never raised: the first return, or a pass that ran to its end
const int kJumpCancelled = 1;  // Cancel in the overwrite prompt
const int kJumpAborted = 2;    // every fatal error and every other stop

extern const char kStubCaption[];          // "Arcula Self-Extractor"
// The messages outside the string table, which must show when that table
// cannot be had: when it does not unpack; when the decoder that unpacks it
// finds no memory for a decode table; when memory runs out for a dialog
// template, which is unpacked the same way.
extern const char kHeaderCorruptText[];
extern const char kNotEnoughMemoryText[];       // "not enough memory"
extern const char kNoMemoryForResourcesText[];  // "no memory for resources"

// --- Process-wide state of the abort point (ResetAbortPoint puts it back) ---
extern JumpBuffer g_abortPoint;
extern int g_jumpCode;
extern WindowHandle g_mainDialog;  // owner of every box; null until the dialog exists
const uint32_t kFormatBufferSize = kFormatLimit;
extern char g_formatBuffer[kFormatBufferSize];  // every message with arguments is formatted here before it is shown

void ResetAbortPoint();

// Arms the abort point in the caller's frame: 0 now, the jump code when an
// abort arrives later.
#define ARM_ABORT_POINT() (ARM_JUMP(g_abortPoint) == 0 ? kJumpCompleted : g_jumpCode)

// The exit code the run ends with when the last abort ends it (base/exit_codes.h).
extern int g_abortExitCode;

// Shows `text` in an error box and aborts; the run's exit code says the run
// failed (kExitFailure), or `exitCode` for the second form.
[[noreturn]] void FatalError(const char* text);
[[noreturn]] void FatalErrorWithExitCode(int exitCode, const char* text);
[[noreturn]] void FatalHeaderCorrupt();
// The user stopped the pass (a confirmed abort, Cancel or Abort at a disk
// prompt); in a silent run no one did, and the run failed.
[[noreturn]] void AbortPass();
// Cancel at the overwrite question. In a silent run that is the answer no one
// gave: an existing file stopped the run (kExitFileExists).
[[noreturn]] void CancelPass();

// OK/Cancel box owned by the main dialog; the exclamation icon when `warning`
// is set. True when OK was pressed.
bool AskOkCancel(const char* text, bool warning);
