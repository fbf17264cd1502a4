// bench-measure-run LOG PROGRAM [ARGUMENTS...]
//
// Runs PROGRAM with its standard output and error going to LOG and prints one
// line: wall seconds, CPU seconds (user + system), peak resident set size in
// KiB, and the exit status (128 + signal number for a killed program).
//
// The benchmarks spawn programs through this small, statically linked
// process rather than from Python itself: a child's peak RSS counts the
// memory of the process it was forked from, so a program spawned straight
// from the interpreter would never report less than the interpreter's own.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>

namespace {

double Seconds(const timespec& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9; }

double Seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: bench-measure-run LOG PROGRAM [ARGUMENTS...]\n");
    return 2;
  }
  timespec start;
  clock_gettime(CLOCK_MONOTONIC, &start);
  pid_t child = fork();
  if (child < 0) {
    std::perror("bench-measure-run: fork");
    return 2;
  }
  if (child == 0) {
    int log = open(argv[1], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (log < 0) _exit(126);
    dup2(log, 1);
    dup2(log, 2);
    close(log);
    execv(argv[2], argv + 2);
    _exit(127);
  }
  int status = 0;
  rusage usage;
  if (wait4(child, &status, 0, &usage) < 0) {
    std::perror("bench-measure-run: wait4");
    return 2;
  }
  timespec end;
  clock_gettime(CLOCK_MONOTONIC, &end);
  int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  std::printf("%.6f %.6f %ld %d\n", Seconds(end) - Seconds(start), Seconds(usage.ru_utime) + Seconds(usage.ru_stime),
              usage.ru_maxrss, code);
  return 0;
}
