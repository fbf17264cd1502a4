#include "base/run_log.h"

#include "platform/bytes.h"
#include "platform/format.h"
#include "platform/log.h"
#include "base/messages.h"
#include "base/run_facts.h"

RunLogState g_runLog;

void ResetRunLog() {
  SysCloseLog();
  g_runLog.open = false;
  g_runLog.failure = 0;
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
  char line[kFormatLimit];
  CopyText(line, text, kFormatLimit);
  for (char* c = line; *c != 0; ++c) {
    if (*c == '\n' || *c == '\r') *c = ' ';
  }
  if (!SysAppendLogLine(line)) g_runLog.failure = kMessageLogFailed;
}
