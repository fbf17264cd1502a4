#include "base/run_log.h"

#include "platform/bytes.h"
#include "platform/format.h"
#include "platform/log.h"
#include "base/exit_codes.h"
#include "base/messages.h"
#include "base/run_facts.h"

RunLogState g_runLog;

namespace {

// What each exit code means, as the log's last line says it.
const char* const kExitCodeMeanings[kExitCodeCount] = {
    "success",
    "failed",
    "the command line cannot be followed",
    "cancelled",
    "no password, or a wrong one",
    "an existing file stopped the run",
    "a read or write error",
};

void AppendLine(const char* text) {
  char line[kFormatLimit];
  CopyText(line, text, kFormatLimit);
  for (char* c = line; *c != 0; ++c) {
    if (*c == '\n' || *c == '\r') *c = ' ';
  }
  if (!SysAppendLogLine(line)) g_runLog.failure = kMessageLogFailed;
}

void NameRunOnce() {
  if (g_runLog.namedRun) return;
  g_runLog.namedRun = true;
  const char* target = g_runLog.target != nullptr && g_runLog.target[0] != 0 ? g_runLog.target : "(none)";
  char line[kFormatLimit];
  SysFormat(line, "Run of %s%s; target folder: %s", g_executablePath, g_runLog.switches, target);
  AppendLine(line);
}

}  // namespace

void ResetRunLog() {
  SysCloseLog();
  FillBytes(&g_runLog, 0, sizeof(g_runLog));
}

void DescribeRunForLog(const char* switches, const char* target) {
  CopyText(g_runLog.switches, switches, kLoggedSwitchesSize);
  g_runLog.target = target;
}

void LogExitCode(int exitCode) {
  if (exitCode < 0 || exitCode >= static_cast<int>(kExitCodeCount)) return;
  char line[kFormatLimit];
  SysFormat(line, "Exit code %d: %s", exitCode, kExitCodeMeanings[exitCode]);
  LogMessage(line);
}

bool OpenRunLog() {
  if (g_logPath[0] == 0) return true;
  int result = SysOpenLog(g_logPath);
  g_runLog.open = result == kLogOpen;
  if (result == kLogRefused) g_runLog.failure = kMessageLogRefused;
  if (result == kLogFailed) g_runLog.failure = kMessageLogFailed;
  return g_runLog.open;
}

void LogMessage(const char* text) {
  if (!g_runLog.open) return;
  NameRunOnce();
  AppendLine(text);
}
