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
#include "platform/starter.h"
#include "platform/system.h"
#include "platform/version.h"
#include "base/abort.h"
#include "base/boxes.h"
#include "base/exit_codes.h"
#include "stub/checks.h"
#include "stub/command_line.h"
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
// The most of an unknown switch that its message quotes.
const uint32_t kQuotedSwitchSize = 64;

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

// Whoever started the program with a switch it does not know hears of it
// (and a script sees exit code 2): the switch might have been meant to keep
// the run unattended, so guessing on would be wrong.
void ReportUnknownSwitch(const CommandLineRequest& request) {
  char word[kQuotedSwitchSize];
  uint32_t length = request.unknownSwitchLength < kQuotedSwitchSize ? request.unknownSwitchLength : kQuotedSwitchSize - 1;
  while (length > 0 && (request.unknownSwitch[length] & 0xC0) == 0x80) --length;  // whole characters only
  CopyBytes(word, request.unknownSwitch, length);
  word[length] = 0;
  SysFormat(g_formatBuffer, MessageText(kMessageUnknownSwitch), word);
  if (SysTellStarter(g_formatBuffer)) {
    LogMessage(g_formatBuffer);
  } else {
    ShowBox(nullptr, g_formatBuffer, kStubCaption, kBoxOk | kBoxIconError);
  }
}

// What the command line asks about the run, once the settings had their say:
// /auto and /silent make it unattended, /noauto shows the dialog whatever
// else asked otherwise; a folder given replaces the configured one.
// The log's first line names the command line, its password hidden, and the
// target folder as the run settles it.
void NameRunInLog(const char* tail, const CommandLineRequest& request) {
  char switches[kLoggedSwitchesSize];
  TailForLog(tail, request, switches, kLoggedSwitchesSize);
  DescribeRunForLog(switches, g_outputPaths.targetFolder);
}

bool ApplyCommandLine(const CommandLineRequest& request) {
  if (request.autoSwitch) g_unattendedMode = true;
  if (request.noAutoSwitch) g_unattendedMode = false;
  if (request.folderRefused) {
    ShowBox(nullptr, MessageText(kMessageBadCommandFolder), kStubCaption, kBoxOk | kBoxIconError);
    return false;
  }
  if (request.folderGiven) {
    // Taken as given: the shell that started the program expanded what it meant to.
    CopyText(g_outputPaths.targetFolder, request.folder, kTargetFolderSize);
    g_outputPaths.configuredFolder[0] = 0;
  }
  return true;
}

}  // namespace

void MakeOwnFolderCurrent() {
  // As long as a joined path: a path cut short could end inside a parent
  // folder's name, or in the parent itself, and "." would mean that.
  char path[kExecutablePathSize];
  if (SysGetModuleFileName(path, kExecutablePathSize) == 0) return;
  char* lastSeparator = nullptr;
  for (char* p = path; *p != 0; ++p) {
    if (*p == '\\') lastSeparator = p;
  }
  if (lastSeparator == nullptr) return;
  *lastSeparator = 0;
  SysSetCurrentDirectory(path);
}

int PrepareRun(InstanceHandle instance, const char* tail) {
  CommandLineRequest request;
  ReadCommandLine(tail, &request);
  // Before anything can show a box: a silent run shows none. With /noauto
  // the dialog comes up, so a person is there to answer every box.
  if ((g_settings.flags & kFlagSilent) != 0) g_silentMode = true;
  if (request.noAutoSwitch) g_silentMode = false;
  NameRunInLog(tail, request);
  OpenRunLog();  // before anything is logged; a failure is reported once the messages are there
  if (ARM_ABORT_POINT() != kJumpCompleted) return g_abortExitCode;
  StartOfRunChecks();
  // A run whose log cannot be written stops before it changes anything: the
  // script that asked for the log gets the failure instead of a run it cannot
  // account for.
  int logFailure = ReportLogFailure();
  if (logFailure != 0) return logFailure;
  if (!CheckEntryPoint()) {
    ShowBox(nullptr, MessageText(kMessageDamaged), kStubCaption, kBoxOk | kBoxIconError);
    return kExitFailure;
  }
  if (request.unknownSwitch != nullptr) {
    ReportUnknownSwitch(request);
    return kExitBadUsage;
  }
  if (request.infoSwitch) {
    ShowBox(nullptr, g_infoText, kStubCaption, kBoxOk);
    return kExitSuccess;
  }
  if (CheckWindowsVersion() != 0) return kExitFailure;
  if (g_settings.completeness == 0) {
    ShowBox(nullptr, MessageText(kMessageIncomplete), kStubCaption, kBoxOk | kBoxIconError);
    return kExitFailure;
  }
  g_outputPaths.overwriteSetting = (g_settings.flags & kFlagOverwrite) != 0 || g_overwriteRequested;
  g_entry.encryptionFlag = (g_settings.flags & kFlagEncrypted) != 0;
  RegisterMeterClass(instance);
  // Whoever runs a silent install has accepted the prompt.
  if (g_startupPrompt != nullptr && !g_silentMode) {
    if (!ShowStartupPrompt()) return kExitCancelled;
    SysFree(g_startupPrompt);
    g_startupPrompt = nullptr;
  }
  if ((g_settings.flags & (kFlagUnattended | kFlagSilent)) != 0 || g_silentMode) g_unattendedMode = true;
  if (!ApplyCommandLine(request)) return kExitBadUsage;
  return kStartupShowDialog;
}

static_assert(kCommandLinePasswordSize == kPasswordCapacity, "/password takes what the password field takes");

int RunSilently() {
  CompleteTargetFolder();
  if (RefuseTargetFolder()) return kExitFailure;
  CutToUnits(g_commandLinePassword, kPasswordUnits);  // as the dialog's field takes it
  if (g_entry.encryptionFlag) StorePassword(g_commandLinePassword);
  WipeBytes(g_commandLinePassword, sizeof(g_commandLinePassword));
  // No one is there to type another: a wrong password ends the run at once.
  if (RefusePasswordBeforePass(nullptr)) {
    ReportPassOutcome(false);
    return kExitPassword;
  }
  ResetPassCounters();
  bool completed = RunPass() == kJumpCompleted;
  ReportPassOutcome(completed);
  return completed ? kExitSuccess : g_abortExitCode;
}

int ReportLogFailure() {
  if (g_runLog.failure == 0) return 0;
  SysFormat(g_formatBuffer, MessageText(g_runLog.failure), g_logPath);
  // A silent run shows no box: whoever started it hears of the lost log on
  // its console, when it has one, as well as through the exit code.
  if (g_silentMode) SysTellStarter(g_formatBuffer);
  ShowBox(nullptr, g_formatBuffer, kStubCaption, kBoxOk | kBoxIconError);
  return g_runLog.failure == kMessageLogRefused ? kExitFailure : kExitReadWrite;
}

int EndRun(int exitCode) {
  // Lines lost once the files were being written did not stop the pass (a
  // half-unzipped tree would help no one), but a run that succeeded otherwise
  // did not do all it was asked to. A run that failed keeps its own reason.
  int logFailure = ReportLogFailure();
  if (exitCode == kExitSuccess) exitCode = logFailure;
  LogExitCode(exitCode);
  // The last line itself may be what was lost.
  if (exitCode == kExitSuccess && g_runLog.failure != 0) exitCode = ReportLogFailure();
  return exitCode;
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

  int exitCode = PrepareRun(instance, tail);
  if (exitCode != kStartupShowDialog) {
    LogExitCode(exitCode);
    return exitCode;
  }
  if (g_silentMode) {
    exitCode = RunSilently();
  } else {
    g_folderBrowserAvailable = shellLoaded != 0 && HasShellVersion(SysGetVersion());
    exitCode = RunMainDialog();
  }
  exitCode = EndRun(exitCode);
  Shutdown();
  FreeResources();
  SysFreeShell();
  return exitCode;
}
