// Host side of the starter's console: standard error, unless a test says the
// program was started with no console (as by a double-click), and a record
// of every line, for tests.
#include "platform/starter.h"

#include <cstdio>

#include "platform/host/host_starter.h"

namespace {

struct StarterState {
  bool hasConsole = true;
  std::vector<std::string> lines;
};

StarterState& State() {
  static StarterState state;
  return state;
}

}  // namespace

bool SysTellStarter(const char* text) {
  if (!State().hasConsole) return false;
  State().lines.push_back(text);
  std::fprintf(stderr, "%s\n", text);
  return true;
}

void HostSetStarterConsole(bool hasConsole) { State().hasConsole = hasConsole; }

const std::vector<std::string>& HostStarterLines() { return State().lines; }

void HostResetStarter() {
  State().hasConsole = true;
  State().lines.clear();
}
