#include "stub/startup.h"

#include "ui/unzip_flow.h"
#include "ui/password.h"
#include "platform/format.h"
#include "extract/scanner.h"
#include "archive/password.h"
#include "archive/entry.h"
#include "archive/input.h"
#include "inflate/inflate.h"
#include "extract/output.h"
#include "paths/output_paths.h"
#include "paths/path_routines.h"
#include "platform/bytes.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/memory.h"
#include "platform/session.h"
#include "platform/system.h"
#include "platform/version.h"
#include "base/abort.h"
#include "base/boxes.h"
#include "stub/checks.h"
#include "base/messages.h"
#include "base/run_facts.h"
#include "base/run_log.h"
#include "base/settings.h"
#include "base/work_memory.h"
#include "ui/cjk_font.h"
#include "ui/dialog_rules.h"
#include "ui/main_dialog.h"
#include "ui/meter.h"

namespace {

const uint32_t kLowestShellMajorVersion = 4;
const uint32_t kModulePathBufferSize = 512;

bool StartsWith(const char* text, const char* word) {
  for (; *word != 0; ++text, ++word) {
    if (*text != *word) return false;
  }
  return true;
}

// The caption and buttons of the start-up prompt; 1 when the user went on.
bool ShowStartupPrompt() {
  uint32_t flags = g_settings.flags;
  const char* caption = (flags & kFlagUseTitle) != 0 && g_title[0] != 0 ? g_title : kStubCaption;
  uint32_t buttons = kBoxOk;
  if ((flags & kFlagPromptQuestion) != 0) buttons = (flags & kFlagPromptOkCancel) != 0 ? kBoxOkCancel : kBoxYesNo;
  int answer = ShowBox(nullptr, g_startupPrompt, caption, buttons | kBoxTaskModal);
  return answer == kAnswerNo || answer == kAnswerCancel ? 0 : 1;
}

// 0 when the program may go on; otherwise the message shown.
int CheckWindowsVersion() {
  uint32_t version = SysGetVersion();
  uint32_t major = version & 0xFF;
  if ((version & 0x80000000u) != 0 && major < kLowestShellMajorVersion) {
    ShowBox(nullptr, MessageText(kMessageNeedsWin32), kStubCaption, kBoxOk);
    return kMessageNeedsWin32;
  }
  return 0;
}

// The program's folder becomes the current directory, so that a folder
// given as "." means the folder the self-extractor lies in. For a program in
// a drive's root this leaves the bare drive (C:), that drive's current
// directory.
void MakeOwnFolderCurrent() {
  char path[kModulePathBufferSize];
  if (SysGetModuleFileName(path, kModulePathBufferSize) == 0) return;
  char* lastSeparator = nullptr;
  for (char* p = path; *p != 0; ++p) {
    if (*p == '\\') lastSeparator = p;
  }
  if (lastSeparator == nullptr) return;
  *lastSeparator = 0;
  SysSetCurrentDirectory(path);
}

}  // namespace

bool HasInfoOption(const char* tail) {
  static const char kInfoWord[] = "-info";
  const uint32_t length = sizeof(kInfoWord) - 1;
  for (const char* at = tail; *at != 0; ++at) {
    // A word of its own: "/auto C:\tools-info" names a folder, not the option.
    // The end is looked at only once the word matched: before, it may lie
    // behind the tail's terminator.
    bool startsWord = at == tail || at[-1] == ' ';
    if (startsWord && StartsWith(at, kInfoWord) && (at[length] == 0 || at[length] == ' ')) return true;
  }
  return false;
}

namespace {

char LowerCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// True when the word at `at` (behind its '/' or '-') is `name`, in any case,
// and ends there.
bool IsSwitch(const char* at, const char* name) {
  if (*at != '/' && *at != '-') return false;
  ++at;
  for (; *name != 0; ++at, ++name) {
    if (LowerCase(*at) != *name) return false;
  }
  return *at == 0 || *at == ' ';
}

// Copies the word that starts behind `at` (quoted, or up to the next blank)
// into `value` (`size` bytes). Returns where that word ends.
char* TakeValue(char* at, char* value, uint32_t size) {
  while (*at == ' ') ++at;
  char end = ' ';
  if (*at == '"') {
    end = '"';
    ++at;
  }
  char* start = at;
  while (*at != 0 && *at != end) ++at;
  uint32_t length = static_cast<uint32_t>(at - start);
  if (length >= size) length = size - 1;
  CopyBytes(value, start, length);
  value[length] = 0;
  return *at == '"' ? at + 1 : at;
}

void Blank(char* from, const char* to) {
  for (; from < to; ++from) *from = ' ';
}

}  // namespace

void TakeScriptSwitches(char* tail) {
  static const char kSilentAsAuto[] = "/auto  ";  // as long as "/silent"
  for (char* at = tail; *at != 0; ++at) {
    if (at != tail && at[-1] != ' ') continue;  // a word of its own
    char* end = at;
    if (IsSwitch(at, "silent")) {
      g_silentMode = true;
      CopyBytes(at, kSilentAsAuto, sizeof(kSilentAsAuto) - 1);
      continue;
    }
    if (IsSwitch(at, "overwrite")) {
      g_overwriteRequested = true;
      end = at + 10;
    } else if (IsSwitch(at, "password")) {
      end = TakeValue(at + 9, g_commandLinePassword, kCommandLinePasswordSize);
    } else if (IsSwitch(at, "log")) {
      end = TakeValue(at + 4, g_logPath, kExecutablePathSize);
    } else {
      continue;
    }
    Blank(at, end);  // the options that follow see only blanks here
    at = end - 1;
  }
}

int ParseOptions(char* tail) {
  const char* autoWord = MessageText(kMessageAutoOption);      // "AUTO"
  const char* noAutoWord = MessageText(kMessageNoAutoOption);  // "NOAUTO"
  char* cursor = tail;
  while (*cursor != 0 && *cursor != '-' && *cursor != '/') ++cursor;
  if (*cursor == 0) return 0;
  ++cursor;
  uint32_t shorter = TextLength(autoWord);
  if (TextLength(cursor) < shorter) return 0;
  for (char* letter = cursor; *letter != 0 && *letter != ' '; ++letter) {
    *letter = static_cast<char>(*letter & ~0x20);
  }
  if (StartsWith(cursor, noAutoWord)) {
    g_unattendedMode = false;
    g_silentMode = false;
    return 0;
  }
  if (!StartsWith(cursor, autoWord)) return 0;
  g_unattendedMode = true;
  cursor += shorter;
  while (*cursor == ' ') ++cursor;
  if (*cursor == 0) return 0;  // the configured folder stays

  const char* folder = cursor;
  uint32_t length = TextLength(folder);
  if (*cursor == '"') {
    folder = ++cursor;
    length = 0;
    while (folder[length] != 0 && folder[length] != '"') ++length;
  } else {
    // Blanks at the end are not the folder's: Windows drops them, and the
    // switches a script gives behind the folder leave blanks in their place.
    while (length > 0 && folder[length - 1] == ' ') --length;
  }
  // Refused rather than cut: a cut folder would unzip somewhere else.
  if (Utf16Length(folder, length) > kTargetFolderUnits) return 1;
  CopyBytes(g_outputPaths.targetFolder, folder, length);
  g_outputPaths.targetFolder[length] = 0;
  return 0;
}

int PrepareRun(InstanceHandle instance, char* tail) {
  // Before anything can show a box: a silent run shows none.
  TakeScriptSwitches(tail);
  if ((g_settings.flags & kFlagSilent) != 0) g_silentMode = true;
  OpenRunLog();  // before anything is logged; a failure is reported once the messages are there
  if (ARM_ABORT_POINT() != kJumpCompleted) return kStartupFailed;
  StartOfRunChecks();
  // A run whose log cannot be written stops before it changes anything: the
  // script that asked for the log gets the failure instead of a run it cannot
  // account for.
  if (ReportLogFailure()) return kStartupFailed;
  if (!CheckEntryPoint()) {
    ShowBox(nullptr, MessageText(kMessageDamaged), kStubCaption, kBoxOk | kBoxIconError);
    return kStartupFailed;
  }
  if (HasInfoOption(tail)) {
    ShowBox(nullptr, g_infoText, kStubCaption, kBoxOk);
    return kStartupDeclined;
  }
  if (CheckWindowsVersion() != 0) return kStartupFailed;
  if (g_settings.completeness == 0) {
    ShowBox(nullptr, MessageText(kMessageIncomplete), kStubCaption, kBoxOk | kBoxIconError);
    return kStartupFailed;
  }
  g_outputPaths.overwriteSetting = (g_settings.flags & kFlagOverwrite) != 0 || g_overwriteRequested;
  g_entry.encryptionFlag = (g_settings.flags & kFlagEncrypted) != 0;
  RegisterMeterClass(instance);
  // Whoever runs a silent install has accepted the prompt.
  if (g_startupPrompt != nullptr && !g_silentMode) {
    if (!ShowStartupPrompt()) return kStartupDeclined;
    SysFree(g_startupPrompt);
    g_startupPrompt = nullptr;
  }
  if ((g_settings.flags & (kFlagUnattended | kFlagSilent)) != 0 || g_silentMode) g_unattendedMode = true;
  if (ParseOptions(tail) != 0) {
    ShowBox(nullptr, MessageText(kMessageBadCommandFolder), kStubCaption, kBoxOk | kBoxIconError);
    return kStartupFailed;
  }
  return kStartupShowDialog;
}

static_assert(kCommandLinePasswordSize == kPasswordCapacity, "/password takes what the password field takes");

int RunSilently() {
  CompleteTargetFolder();
  if (RefuseTargetFolder()) return kExitFailure;
  if (g_entry.encryptionFlag) StorePassword(g_commandLinePassword);
  WipeBytes(g_commandLinePassword, sizeof(g_commandLinePassword));
  ResetPassCounters();
  bool completed = RunPass() == kJumpCompleted;
  ReportPassOutcome(completed);
  return completed ? kExitSuccess : kExitFailure;
}

bool ReportLogFailure() {
  if (g_runLog.failure == 0) return false;
  SysFormat(g_formatBuffer, MessageText(g_runLog.failure), g_logPath);
  ShowBox(nullptr, g_formatBuffer, kStubCaption, kBoxOk | kBoxIconError);
  return true;
}

char* CommandLineTail(char* commandLine) {
  if (commandLine[0] == 0) return commandLine;
  char end = commandLine[0] == '"' ? '"' : ' ';
  char* cursor = commandLine + 1;
  while (*cursor != 0 && *cursor != end) ++cursor;
  if (*cursor == 0) return cursor;  // no end character: empty tail
  return cursor + 1;
}

void Shutdown() {
  ResetRunLog();
  ResetPassword();
  ResetInflate();
  FreeWorkMemory();
  if (g_archiveInput.handle != 0 && g_archiveInput.handle != kFileError) SysClose(g_archiveInput.handle);
  g_archiveInput.handle = 0;
  if (g_outputSink.file != 0 && g_outputSink.file != kFileError) SysClose(g_outputSink.file);
  g_outputSink.file = 0;
}

// Before start-up proper: the library search path first, before anything
// can load a library; then the font, the current directory, the error mode,
// the shell and the program's own path. A refusal or an error before the
// dialog ends the process at once: the box has told the user why, and the
// process frees everything as it ends.
int StubMain(InstanceHandle instance, InstanceHandle previous, char* tail, int show) {
  (void)previous;
  (void)show;
  SysRestrictDllSearch();
  if (IsCjkCodePage(SysGetAnsiCodePage())) g_cjkFont = SysCreateCjkFont();
  MakeOwnFolderCurrent();
  SysSetQuietErrorMode();
  int shellLoaded = SysLoadShell();
  SysGetModuleFileName(g_executablePath, kExecutablePathSize);
  LongModuleName(g_executablePath);

  switch (PrepareRun(instance, tail)) {
    case kStartupDeclined: return kExitSuccess;
    case kStartupFailed: return kExitFailure;
    default: break;
  }
  int exitCode = kExitSuccess;
  if (g_silentMode) {
    exitCode = RunSilently();
  } else {
    g_folderBrowserAvailable = shellLoaded != 0 && HasShellVersion(SysGetVersion());
    // A dialog that never came up unzipped nothing: that is no success.
    exitCode = RunMainDialog() && !g_passAborted ? kExitSuccess : kExitFailure;
  }
  // Lines lost once the files were being written did not stop the pass (a
  // half-unzipped tree would help no one), but the run did not do all it was
  // asked to.
  if (ReportLogFailure()) exitCode = kExitFailure;
  Shutdown();
  FreeResources();
  SysFreeShell();
  return exitCode;
}
