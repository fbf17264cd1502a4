// arcula-headless: runs the stub's own logic on a self-extractor file without
// windows. It loads the file's settings block, runs start-up as the stub
// would (start-of-run checks, entry-point check, -info, start-up prompt,
// options), then does what the main dialog's Unzip does. Message boxes are
// printed on stderr and answered from --answer; a question no --answer is
// left for gets the answer that stops, as in a silent run.
//
// Exit status: the stub's exit code for the same run (base/exit_codes.h); a
// usage error is 2, as a command line the stub cannot follow, and a FILE the
// runner cannot read 1.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "archive/password.h"
#include "archive/entry.h"
#include "extract/scanner.h"
#include "extract/output.h"
#include "paths/output_paths.h"
#include "platform/bytes.h"
#include "platform/dialogs.h"
#include "platform/format.h"
#include "platform/host/host_boxes.h"
#include "platform/host/host_paths.h"
#include "platform/host/host_system.h"
#include "platform/host/host_volumes.h"
#include "base/abort.h"
#include "base/boxes.h"
#include "base/exit_codes.h"
#include "base/messages.h"
#include "base/run_facts.h"
#include "base/run_log.h"
#include "base/settings.h"
#include "stub/startup.h"
#include "ui/unzip_flow.h"

namespace {

struct Options {
  std::string file;
  std::string folder;
  bool hasFolder = false;
  std::string password;
  bool hasPassword = false;
  std::string tail;
  std::map<unsigned, std::string> disks;  // --disk N=DIR: what each disk of a spanned set holds
  bool help = false;
  bool version = false;
};

// The spanned set's disks and the drive they go into (the executable's).
std::map<unsigned, std::string> g_disks;
char g_diskDrive = 0;

// A disk the set does not have leaves the drive empty, as a user would who
// has no such disk: the stub then asks with Abort, Retry and Ignore, whose
// default answer gives up, instead of asking for it for ever.
void InsertDisk(unsigned number) {
  auto disk = g_disks.find(number);
  if (disk == g_disks.end()) {
    HostSetVolumeLabel(g_diskDrive, nullptr);
    return;
  }
  char label[32];
  std::snprintf(label, sizeof(label), "PKBACK# %03u", number);
  HostMapDrive(g_diskDrive, disk->second);
  HostSetVolumeLabel(g_diskDrive, label);
}

// 1 when the text is message `number` with its arguments filled in (compared
// up to the first argument).
bool IsMessage(const std::string& text, int number) {
  std::string format = MessageText(number);
  return text.compare(0, format.find('%'), format, 0, format.find('%')) == 0;
}

// The prompts that ask for a disk of the set by number, or for its last one,
// with OK and Cancel.
bool IsInsertDiskPrompt(const HostBox& box) {
  return IsMessage(box.text, kMessageInsertDisk) || IsMessage(box.text, kMessageInsertLastDisk);
}

// Acts as the user at a disk prompt: puts the disk asked for into the drive
// before answering OK or Retry.
void SwapDiskForPrompt(const HostBox& box, int answer) {
  if (answer != kAnswerOk && answer != kAnswerRetry) return;
  if (IsMessage(box.text, kMessageInsertLastDisk)) {
    if (!g_disks.empty()) InsertDisk(g_disks.rbegin()->first);
    return;
  }
  if (!IsMessage(box.text, kMessageInsertDisk) && !IsMessage(box.text, kMessageWrongDisk)) return;
  size_t end = box.text.find_last_of("0123456789");
  if (end == std::string::npos) return;
  size_t start = box.text.find_last_not_of("0123456789", end);
  InsertDisk(static_cast<unsigned>(std::strtoul(box.text.c_str() + start + 1, nullptr, 10)));
}

// On stdout when asked for with --help, on stderr after a usage error.
void Usage(FILE* stream) {
  std::fprintf(stream,
               "usage: arcula-headless [--folder DIR] [--password PASS] [--answer A]... [--drive X=DIR]...\n"
               "                       [--disk N=DIR]... [--ansi-codepage N] [--oem-codepage N]\n"
               "                       FILE [COMMAND-LINE TAIL...]\n"
               "       arcula-headless --version | --help\n"
               "Unpacks the self-extractor FILE as its own stub would, without windows.\n"
               "  --folder DIR     unzip to DIR, as if typed into the folder field\n"
               "  --password PASS  the password, as if typed into the password dialog\n"
               "  --answer A       answer the next question box: yes no ok cancel retry ignore abort;\n"
               "                   a question with no --answer left gets the answer that stops,\n"
               "                   as in a silent run (Cancel, No or Abort), and says so on stderr\n"
               "  --drive X=DIR    drive letter X: is the folder DIR\n"
               "  --ansi-codepage N  the ANSI code page of the machine the run stands for\n"
               "                   (default 1252): texts and names not marked as UTF-8 in files\n"
               "                   from other builders are in it\n"
               "  --oem-codepage N  its OEM code page (default 437): names not marked as UTF-8\n"
               "                   in files from arcula-mksfx are in it\n"
               "  --disk N=DIR     disk N of a spanned set holds DIR; FILE is then a path on the\n"
               "                   set's drive (such as A:\\SETUP.EXE), disk 1 starts in the drive,\n"
               "                   and a disk prompt answered OK or Retry inserts the disk it asks for;\n"
               "                   a prompt for a disk with no --answer left is answered OK\n"
               "  --version        show the version\n"
               "  --help           show this text\n"
               "Message boxes are printed on stderr. Exit status: the self-extractor's exit code\n"
               "for the same run: 0 success, 1 failed, 2 bad command line (or a usage error),\n"
               "3 cancelled, 4 no password or a wrong one, 5 an existing file stopped the run,\n"
               "6 a read or write error.\n");
}

// The --answer words, and the buttons they press as a box shows them.
const struct {
  const char* word;
  const char* button;
  int code;
} kAnswers[] = {
    {"ok", "OK", kAnswerOk},          {"cancel", "Cancel", kAnswerCancel}, {"abort", "Abort", kAnswerAbort},
    {"retry", "Retry", kAnswerRetry}, {"ignore", "Ignore", kAnswerIgnore}, {"yes", "Yes", kAnswerYes},
    {"no", "No", kAnswerNo}};

int AnswerCode(const std::string& word) {
  for (const auto& answer : kAnswers) {
    if (word == answer.word) return answer.code;
  }
  return 0;
}

const char* ButtonName(int code) {
  for (const auto& answer : kAnswers) {
    if (code == answer.code) return answer.button;
  }
  return "?";
}

// A box no --answer is left for gets the answer that stops, as in a silent
// run: a tester who gave too few answers sees the run stop rather than files
// overwritten. The one exception is a prompt for a disk when --disk gave the
// set: the runner plays the user holding it, who puts in the disk asked for
// (or none, if the set lacks it; the stub then asks with Abort, Retry and
// Ignore, and Abort stops) and presses OK. The answer to a question is told
// on stderr; a box with only OK asks nothing.
int AnswerUnansweredBox(const HostBox& box) {
  bool diskUser = !g_disks.empty() && IsInsertDiskPrompt(box);
  int answer = diskUser ? kAnswerOk : StoppingAnswer(box.style);
  if ((box.style & kButtonsMask) != kBoxOk) {
    std::fprintf(stderr, "arcula-headless: no --answer left: %s\n", ButtonName(answer));
  }
  return answer;
}

// An argument as Windows would pass it in a command line, so that the stub's
// reading of the tail gives the same word back: quoted when it holds a blank
// or a quote or is empty, a quote escaped, and the backslashes before a quote
// (or before the closing one) doubled.
std::string QuotedForTail(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    quoted += c;
    backslashes = 0;
  }
  quoted.append(2 * backslashes, '\\');
  return quoted + "\"";
}

bool ParseArguments(int argc, char** argv, Options* options) {
  int i = 1;
  for (; i < argc; ++i) {
    std::string argument = argv[i];
    if (argument.rfind("--", 0) != 0) break;
    if (argument == "--help" || argument == "--version") {
      (argument == "--help" ? options->help : options->version) = true;
      continue;
    }
    if (i + 1 >= argc) return false;
    std::string value = argv[++i];
    if (argument == "--folder") {
      options->folder = value;
      options->hasFolder = true;
    } else if (argument == "--password") {
      options->password = value;
      options->hasPassword = true;
    } else if (argument == "--answer") {
      int code = AnswerCode(value);
      if (code == 0) return false;
      HostQueueAnswer(code);
    } else if (argument == "--disk") {
      size_t equals = value.find('=');
      if (equals == std::string::npos || equals == 0) return false;
      options->disks[static_cast<unsigned>(std::strtoul(value.c_str(), nullptr, 10))] = value.substr(equals + 1);
    } else if (argument == "--ansi-codepage") {
      // The ANSI code page of the Windows machine the run stands for: config
      // texts and unflagged names of files from other builders are in it.
      uint32_t codePage = static_cast<uint32_t>(std::strtoul(value.c_str(), nullptr, 10));
      if (codePage == 0) return false;
      HostSetCodePage(codePage);
    } else if (argument == "--oem-codepage") {
      // Its OEM code page: this builder's files read unflagged names in it.
      uint32_t codePage = static_cast<uint32_t>(std::strtoul(value.c_str(), nullptr, 10));
      if (codePage == 0) return false;
      HostSetOemCodePage(codePage);
    } else if (argument == "--drive") {
      if (value.size() < 3 || value[1] != '=') return false;
      HostMapDrive(value[0], value.substr(2));
    } else {
      return false;
    }
  }
  if (options->help || options->version) return true;  // FILE not needed
  if (i >= argc) return false;
  options->file = argv[i++];
  for (; i < argc; ++i) options->tail += " " + QuotedForTail(argv[i]);
  return true;
}

// The settings block is the first occurrence of its marker in the file.
// It lies in the stub's data, near the front: the file is read in chunks up
// to there, not whole (the archive behind the stub may be large).
bool LoadSettingsBlock(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  static const char kMarker[] = {'Q', 'J', 'V', 0x01, 's', 'f', 'x', 0x02};
  const size_t kChunk = 65536;
  std::vector<char> bytes;  // the part not yet searched, and a block's length beyond it
  size_t at = 0;
  for (;;) {
    size_t kept = bytes.size();
    bytes.resize(kept + kChunk);
    file.read(bytes.data() + kept, kChunk);
    bytes.resize(kept + static_cast<size_t>(file.gcount()));
    for (; at + sizeof(StubSettings) <= bytes.size(); ++at) {
      if (std::memcmp(bytes.data() + at, kMarker, sizeof(kMarker)) == 0) {
        std::memcpy(&g_settings, bytes.data() + at, sizeof(StubSettings));
        return true;
      }
    }
    if (!file) return false;
    bytes.erase(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
    at = 0;
  }
}

// What the Unzip button does once the folder is in the field. The dialog
// would ask again for a password that does not open the archive; the runner
// has no other, so the run ends there, as a silent one does.
int Unzip(const Options& options) {
  if (options.hasFolder) CopyText(g_outputPaths.targetFolder, options.folder.c_str(), kTargetFolderSize);
  if (RefuseTargetFolder()) return kExitFailure;
  if (g_entry.encryptionFlag && options.hasPassword) StorePasswordBytes(options.password.c_str());
  int exitCode = kExitPassword;
  bool completed = false;
  if (!RefusePasswordBeforePass(nullptr)) {
    ResetPassCounters();
    completed = RunPass() == kJumpCompleted;
    exitCode = completed ? kExitSuccess : g_abortExitCode;
  }
  ReportPassOutcome(completed);  // the box and the log lines the stub gives
  std::fprintf(stderr, "status: %s\n", g_formatBuffer);
  return exitCode;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseArguments(argc, argv, &options)) {
    Usage(stderr);
    return kExitBadUsage;
  }
  if (options.help) {
    Usage(stdout);
    return kExitSuccess;
  }
  if (options.version) {
    std::printf("arcula-headless %s\n", ARCULA_VERSION);
    return kExitSuccess;
  }
  HostSetUnansweredBox(AnswerUnansweredBox);
  // A Windows path ("A:\\SETUP.EXE") is taken as it is, on a mapped drive.
  bool windowsPath = options.file.size() > 2 && options.file[1] == ':';
  if (!options.disks.empty()) {
    if (!windowsPath) {
      std::fprintf(stderr, "arcula-headless: --disk needs FILE on the set's drive, such as A:\\SETUP.EXE\n");
      return kExitBadUsage;
    }
    g_disks = options.disks;
    g_diskDrive = options.file[0];
    InsertDisk(1);
    HostSetBoxObserver(SwapDiskForPrompt);
  }
  std::string path = options.file;
  if (!windowsPath) {
    char* fullPath = ::realpath(options.file.c_str(), nullptr);
    path = fullPath != nullptr ? fullPath : "";
    std::free(fullPath);
  }
  if (path.empty() || path.size() >= kExecutablePathSize || !LoadSettingsBlock(HostPathFromWindows(path.c_str()))) {
    std::fprintf(stderr, "arcula-headless: %s is no self-extractor this runner can read\n", options.file.c_str());
    return kExitFailure;
  }
  CopyText(g_executablePath, path.c_str(), kExecutablePathSize);

  std::vector<char> tail(options.tail.begin(), options.tail.end());
  tail.push_back(0);
  int status = PrepareRun(nullptr, tail.data());
  if (status != kStartupShowDialog) {
    LogExitCode(status);
    return status;
  }
  if (g_silentMode) {
    // As the stub: no dialog, the password from /password, the closing line logged.
    if (options.hasFolder) CopyText(g_outputPaths.targetFolder, options.folder.c_str(), kTargetFolderSize);
    status = RunSilently();
    std::fprintf(stderr, "status: %s\n", status == kExitSuccess ? g_formatBuffer : MessageText(kMessageUnzipAborted));
  } else {
    CompleteTargetFolder();
    status = Unzip(options);
  }
  // As the stub: a log that lost lines makes a run that succeeded otherwise a failed one.
  return EndRun(status);
}
