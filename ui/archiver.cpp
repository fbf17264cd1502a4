#include "ui/archiver.h"

#include "paths/path_routines.h"
#include "platform/bytes.h"
#include "platform/dialogs.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "base/abort.h"
#include "base/boxes.h"
#include "base/messages.h"
#include "base/run_facts.h"

const char kArchiverCommandKey[] = "arcula\\shell\\open\\command";

namespace {

const char kZipExtension[] = "zip";
const uint32_t kExtensionLength = 3;

// Cuts the registered command after its program part and the blank behind
// it, which drops the registered arguments (such as the "%1" placeholder).
// A quoted program path may hold blanks; cutting inside the quotes would
// start another program than the registered one. A command without any
// blank is all program. Returns the length kept, blank included.
uint32_t KeepProgramPart(char* command) {
  uint32_t at = 0;
  if (command[0] == '"') {
    for (at = 1; command[at] != 0 && command[at] != '"'; ++at) {
    }
  }
  while (command[at] != 0 && command[at] != ' ') ++at;
  command[at] = ' ';
  command[at + 1] = 0;
  return at + 1;
}

// An empty or blank registered command names no program: as good as none.
bool NamesAProgram(const char* command) {
  for (; *command != 0; ++command) {
    if (*command != ' ') return true;
  }
  return false;
}

// Where the last `count` characters of the text begin (the text itself when
// it has fewer).
char* LastCharacters(char* text, uint32_t length, uint32_t count) {
  char* at = text + length;
  while (count != 0 && at != text) {
    --at;
    if ((static_cast<unsigned char>(*at) & 0xC0) != 0x80) --count;
  }
  return at;
}

}  // namespace

bool BuildArchiverCommand(char* command, const char* executablePath, bool spanned, bool exeVolumes) {
  uint32_t kept = KeepProgramPart(command);
  // Both quotes.
  if (Utf16Length(command) + Utf16Length(executablePath) + 2 > kCommandLineUnits) return false;
  uint32_t pathLength = TextLength(executablePath);
  char* quoted = command + kept;
  quoted[0] = '"';
  CopyBytes(quoted + 1, executablePath, pathLength);
  char* closingQuote = quoted + 1 + pathLength;
  closingQuote[0] = '"';
  closingQuote[1] = 0;
  // The volumes of such a set are ZIP files named like the executable; the
  // extension is replaced by its place, whatever characters it holds.
  if (spanned && !exeVolumes && CharacterCount(executablePath) >= kExtensionLength) {
    char* extension = LastCharacters(quoted + 1, pathLength, kExtensionLength);
    CopyBytes(extension, kZipExtension, kExtensionLength);
    extension[kExtensionLength] = '"';
    extension[kExtensionLength + 1] = 0;
  }
  return true;
}

bool OpenInArchiver() {
  char command[kCommandBufferSize];
  // With Shift held the button only tells about the archiver, registered or not.
  if (SysShiftKeyDown() == 0 && SysReadClassesRootValue(kArchiverCommandKey, command, kCommandBufferSize) != 0 &&
      Utf16Length(command) <= kRegisteredCommandUnits && NamesAProgram(command)) {
    if (!BuildArchiverCommand(command, g_executablePath, g_spannedFlag, g_exeVolumesFlag)) {
      ShowBox(g_mainDialog, MessageText(kMessageArchiverTooLong), kStubCaption, kBoxOk | kBoxIconError);
      return false;
    }
    return SysStartProgram(command) > kStartFailedLimit;
  }
  ShowBox(g_mainDialog, MessageText(kMessageNoArchiver), kStubCaption, kBoxOk);
  return false;
}
