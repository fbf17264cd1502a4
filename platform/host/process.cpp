// Host side of the registry read, the key state and program starts: nothing
// of the machine is looked at; tests decide every answer.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include "platform/host/host_process.h"
#include "platform/process.h"
#include "platform/registry.h"

namespace {

const uint32_t kStarted = 33;

struct ProcessScript {
  std::map<std::string, std::string> classesRoot;  // lower-case key -> default value
  int shiftDown = 0;
  uint32_t startResult = kStarted;
  std::vector<std::string> started;
};

ProcessScript& Script() {
  static ProcessScript script;
  return script;
}

std::string Lower(const char* text) {
  std::string result(text);
  for (char& c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return result;
}

}  // namespace

void HostSetClassesRootValue(const char* key, const char* value) {
  if (value == nullptr) {
    Script().classesRoot.erase(Lower(key));
  } else {
    Script().classesRoot[Lower(key)] = value;
  }
}

void HostSetShiftKeyDown(int down) { Script().shiftDown = down; }

void HostSetStartResult(uint32_t result) { Script().startResult = result; }

const std::vector<std::string>& HostStartedPrograms() { return Script().started; }

void HostResetProcess() { Script() = ProcessScript(); }

int SysReadClassesRootValue(const char* key, char* buffer, uint32_t size) {
  auto found = Script().classesRoot.find(Lower(key));
  if (found == Script().classesRoot.end() || found->second.size() + 1 > size) return 0;
  std::memcpy(buffer, found->second.c_str(), found->second.size() + 1);
  return 1;
}

uint32_t SysStartProgram(const char* commandLine) {
  Script().started.push_back(commandLine);
  return Script().startResult;
}

int SysShiftKeyDown() { return Script().shiftDown; }

void SysExitProcess(uint32_t code) {
  std::fflush(nullptr);
  std::exit(static_cast<int>(code));
}
