#include "base/run_facts.h"

#include "platform/bytes.h"
#include "platform/memory.h"

char g_executablePath[kExecutablePathSize];
bool g_unattendedMode;
bool g_spannedFlag;
bool g_exeVolumesFlag;
uint8_t g_signatures[kSignatureCount][4];
char g_textLine[kTextLineSize];
char* g_startupPrompt;
char g_title[kTitleSize];
char g_infoText[kInfoTextSize];
bool g_configRead;
bool g_silentMode;
bool g_overwriteRequested;
char g_commandLinePassword[kCommandLinePasswordSize];
char g_logPath[kExecutablePathSize];

void ResetRunFacts() {
  SysFree(g_startupPrompt);
  g_startupPrompt = nullptr;
  FillBytes(g_executablePath, 0, sizeof(g_executablePath));
  g_unattendedMode = false;
  g_spannedFlag = false;
  g_exeVolumesFlag = false;
  FillBytes(g_signatures, 0, sizeof(g_signatures));
  FillBytes(g_textLine, 0, sizeof(g_textLine));
  FillBytes(g_title, 0, sizeof(g_title));
  FillBytes(g_infoText, 0, sizeof(g_infoText));
  g_configRead = false;
  g_silentMode = false;
  g_overwriteRequested = false;
  FillBytes(g_commandLinePassword, 0, sizeof(g_commandLinePassword));
  FillBytes(g_logPath, 0, sizeof(g_logPath));
}
