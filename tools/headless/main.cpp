// arcula-headless: runs the stub's own logic on a self-extractor file without
// windows. It loads the file's settings block, runs start-up as the stub
// would (start-of-run checks, entry-point check, -info, start-up prompt,
// options), then does what the main dialog's Unzip does. Message boxes are
// printed on stderr and answered from --answer.
//
// Exit status: 0 the pass completed (or the run ended as the user wished),
// 1 the pass was aborted or could not start, 2 start-up stopped on an error.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "archive/decrypt.h"
#include "archive/entry.h"
#include "archive/scanner.h"
#include "inflate/output.h"
#include "paths/output_paths.h"
#include "platform/bytes.h"
#include "platform/dialogs.h"
#include "platform/format.h"
#include "platform/host/host_boxes.h"
#include "platform/host/host_paths.h"
#include "stub/abort.h"
#include "stub/message_numbers.h"
#include "stub/resources.h"
#include "stub/settings.h"
#include "stub/startup.h"
#include "ui/unzip_flow.h"

namespace {

const int kExitCompleted = 0;
const int kExitAborted = 1;
const int kExitStartupFailed = 2;
const uint32_t kPasswordLimit = 254;  // what the password dialog's field takes

struct Options {
  std::string file;
  std::string folder;
  bool hasFolder = false;
  std::string password;
  bool hasPassword = false;
  std::string tail;
};

void Usage() {
  std::fprintf(stderr,
               "usage: arcula-headless [--folder DIR] [--password PASS] [--answer A]... [--drive X=DIR]...\n"
               "                       FILE [COMMAND-LINE TAIL...]\n"
               "Unpacks the self-extractor FILE as its own stub would, without windows.\n"
               "  --folder DIR     unzip to DIR, as if typed into the folder field\n"
               "  --password PASS  the password, as if typed into the password dialog\n"
               "  --answer A       answer the next question box: yes no ok cancel retry ignore abort\n"
               "  --drive X=DIR    drive letter X: is the folder DIR\n"
               "Message boxes are printed on stderr. Exit status: 0 completed, 1 aborted,\n"
               "2 start-up stopped on an error.\n");
}

int AnswerCode(const std::string& word) {
  static const struct { const char* word; int code; } kAnswers[] = {
      {"ok", kAnswerOk},         {"cancel", kAnswerCancel}, {"abort", kAnswerAbort}, {"retry", kAnswerRetry},
      {"ignore", kAnswerIgnore}, {"yes", kAnswerYes},       {"no", kAnswerNo}};
  for (const auto& answer : kAnswers) {
    if (word == answer.word) return answer.code;
  }
  return 0;
}

bool ParseArguments(int argc, char** argv, Options* options) {
  int i = 1;
  for (; i < argc; ++i) {
    std::string argument = argv[i];
    if (argument.rfind("--", 0) != 0) break;
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
    } else if (argument == "--drive") {
      if (value.size() < 3 || value[1] != '=') return false;
      HostMapDrive(value[0], value.substr(2));
    } else {
      return false;
    }
  }
  if (i >= argc) return false;
  options->file = argv[i++];
  for (; i < argc; ++i) options->tail += std::string(" ") + argv[i];
  return true;
}

// The settings block is the first occurrence of its marker in the file.
bool LoadSettingsBlock(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  static const char kMarker[] = {'Q', 'J', 'V', 0x01, 's', 'f', 'x', 0x02};
  for (size_t at = 0; at + sizeof(StubSettings) <= bytes.size(); ++at) {
    if (std::memcmp(bytes.data() + at, kMarker, sizeof(kMarker)) == 0) {
      std::memcpy(&g_settings, bytes.data() + at, sizeof(StubSettings));
      return true;
    }
  }
  return false;
}

// What the Unzip button does once the folder is in the field.
int Unzip(const Options& options) {
  if (options.hasFolder) CopyText(g_targetFolder, options.folder.c_str(), kTargetFolderSize);
  if (RefuseTargetFolder() != 0) return kExitAborted;
  static char password[kPasswordLimit + 1];
  if (g_encryptionFlag != 0 && options.hasPassword && !options.password.empty()) {
    CopyText(password, options.password.c_str(), sizeof(password));
    g_storedPassword = password;
  }
  ResetPassCounters();
  if (RunPass() != kJumpCompleted) {
    std::fprintf(stderr, "status: %s\n", MessageText(kMessageUnzipAborted));
    return kExitAborted;
  }
  SysFormat(g_formatBuffer, MessageText(kMessageUnzipped), g_fileCounter);
  if (g_unattendedMode == 0) SysMessageBox(g_mainDialog, g_formatBuffer, kStubCaption, kBoxOk);
  std::fprintf(stderr, "status: %s\n", g_formatBuffer);
  return kExitCompleted;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseArguments(argc, argv, &options)) {
    Usage();
    return kExitStartupFailed;
  }
  char* fullPath = ::realpath(options.file.c_str(), nullptr);
  if (fullPath == nullptr || std::strlen(fullPath) >= kExecutablePathSize || !LoadSettingsBlock(fullPath)) {
    std::fprintf(stderr, "arcula-headless: %s is no self-extractor this runner can read\n", options.file.c_str());
    std::free(fullPath);
    return kExitStartupFailed;
  }
  CopyText(g_executablePath, fullPath, kExecutablePathSize);
  std::free(fullPath);

  std::vector<char> tail(options.tail.begin(), options.tail.end());
  tail.push_back(0);
  switch (PrepareRun(nullptr, tail.data())) {
    case kStartupDeclined: return kExitCompleted;
    case kStartupFailed: return kExitStartupFailed;
    default: break;
  }
  CompleteTargetFolder();
  return Unzip(options);
}
