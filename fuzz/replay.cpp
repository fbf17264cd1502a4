// Replays a fuzz target's inputs without libFuzzer. The ordinary host builds
// link each target with this driver in place of libFuzzer's, so that the
// inputs kept under fuzz/regressions/ (former finds) and the seeds run in
// every test run, compiled by the project's usual compiler, with and without
// the sanitizers.
//
//   <target>_replay PATH...   each PATH a file, or a folder whose files (at
//                             any depth) run in the order of their names
//
// As under libFuzzer, the inputs run one after another in one process, so
// that state one input leaves behind meets the next. That process is a child
// of this one: however it ends (the target's own abort, a crash, a
// sanitizer's report, a leak, a hang), this one names the input it was on.
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "fuzz/address_sanitizer.h"

#if ARCULA_ADDRESS_SANITIZER
#include <sanitizer/lsan_interface.h>
#endif

// The target's entry points, as libFuzzer calls them. Not every target has
// an initialiser.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

namespace fs = std::filesystem;

// Far more than any input takes, even in the Debug build under the
// sanitizers: an input still running then is taken to hang. (libFuzzer's
// runs in scripts/fuzz.sh allow 10 s to a faster build.)
const unsigned kInputTimeLimitSeconds = 60;

// Where the replaying child is, kept in memory it shares with this process:
// kSettingUp until the target's initialiser returns, then the index of the
// input it runs, then the number of inputs once all of them ran.
const int32_t kSettingUp = -1;

const char* g_program = "replay";

bool AddInputs(const char* argument, std::vector<std::string>* inputs) {
  std::error_code error;
  if (fs::is_regular_file(argument, error)) {
    inputs->push_back(argument);
    return true;
  }
  if (!fs::is_directory(argument, error)) {
    std::fprintf(stderr, "%s: no such file or folder: %s\n", g_program, argument);
    return false;
  }
  std::vector<std::string> found;
  for (fs::recursive_directory_iterator item(argument, error), end; !error && item != end;
       item.increment(error)) {
    if (item->is_regular_file(error)) found.push_back(item->path().string());
  }
  if (error) {
    std::fprintf(stderr, "%s: cannot list %s: %s\n", g_program, argument, error.message().c_str());
    return false;
  }
  std::sort(found.begin(), found.end());
  inputs->insert(inputs->end(), found.begin(), found.end());
  return true;
}

// LeakSanitizer looks by itself only at exit, too late to say which input
// leaked.
void CheckForLeaks() {
#if ARCULA_ADDRESS_SANITIZER
  // The report is out; the exit skips the check at exit, which would print
  // it once more.
  if (__lsan_do_recoverable_leak_check() != 0) _exit(1);
#endif
}

[[noreturn]] void CannotRead(const std::string& path) {
  std::fprintf(stderr, "%s: cannot read %s\n", g_program, path.c_str());
  std::exit(1);
}

void ReplayOne(const std::string& path) {
  std::error_code error;
  size_t size = static_cast<size_t>(fs::file_size(path, error));
  if (error) CannotRead(path);
  // On the heap at exactly its size, as libFuzzer hands an input over, so
  // that a read past its end meets AddressSanitizer's red zone.
  std::unique_ptr<uint8_t[]> data(new uint8_t[size]);
  std::ifstream file(path, std::ios::binary);
  if (!file.read(reinterpret_cast<char*>(data.get()), static_cast<std::streamsize>(size))) CannotRead(path);
  alarm(kInputTimeLimitSeconds);  // its signal ends the process
  LLVMFuzzerTestOneInput(data.get(), size);
  alarm(0);
  CheckForLeaks();
}

[[noreturn]] void ReplayAll(int argc, char** argv, const std::vector<std::string>& inputs,
                            volatile int32_t* position) {
  *position = kSettingUp;
  if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
  for (size_t index = 0; index < inputs.size(); ++index) {
    *position = static_cast<int32_t>(index);
    std::printf("%s: replaying %s\n", g_program, inputs[index].c_str());
    std::fflush(stdout);  // before the input can end the process
    ReplayOne(inputs[index]);
  }
  *position = static_cast<int32_t>(inputs.size());
  std::exit(0);  // the target's exit handlers remove what it made
}

std::string HowItEnded(int status) {
  if (WIFSIGNALED(status)) {
    int signal = WTERMSIG(status);
    if (signal == SIGALRM) return "still running after " + std::to_string(kInputTimeLimitSeconds) + " s";
    return std::string("killed by signal ") + std::to_string(signal) + " (" + strsignal(signal) + ")";
  }
  return "exit status " + std::to_string(WEXITSTATUS(status));
}

// The verdict on the child's run: 0 when every input ran and it exited
// cleanly, else 1 with the input it was on.
int Judge(int status, int32_t position, const std::vector<std::string>& inputs) {
  const int32_t count = static_cast<int32_t>(inputs.size());
  bool cleanExit = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  if (position == count && cleanExit) {
    std::printf("%s: %d input(s) replayed, all passed\n", g_program, count);
    return 0;
  }
  std::string how = HowItEnded(status);
  if (position == kSettingUp) {
    std::fprintf(stderr, "%s: FAILED while the target set itself up: %s\n", g_program, how.c_str());
  } else if (position < count) {
    std::fprintf(stderr, "%s: FAILED on input %s: %s\n", g_program, inputs[position].c_str(), how.c_str());
  } else {
    std::fprintf(stderr, "%s: FAILED at exit, after all %d input(s) had passed: %s\n", g_program, count,
                 how.c_str());
  }
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  g_program = argc > 0 ? argv[0] : g_program;
  if (const char* slash = std::strrchr(g_program, '/')) g_program = slash + 1;
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE_OR_FOLDER...\n", g_program);
    return 2;
  }
  std::vector<std::string> inputs;
  for (int i = 1; i < argc; ++i) {
    if (!AddInputs(argv[i], &inputs)) return 2;
  }

  void* shared = mmap(nullptr, sizeof(int32_t), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (shared == MAP_FAILED) {
    std::perror("mmap");
    return 2;
  }
  volatile int32_t* position = static_cast<volatile int32_t*>(shared);
  *position = kSettingUp;

  std::fflush(nullptr);  // or the child would print this process's buffered output again
  pid_t child = fork();
  if (child < 0) {
    std::perror("fork");
    return 2;
  }
  if (child == 0) ReplayAll(argc, argv, inputs, position);

  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) {
      std::perror("waitpid");
      return 2;
    }
  }
  return Judge(status, *position, inputs);
}
