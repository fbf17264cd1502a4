// The process-wide state of a run, put back between runs in one process.
//
// The stub runs once per process: start-up allocates its work memory, opens
// its own file and unpacks its messages, and everything lives until the
// process ends. A fuzzer runs the whole stub logic thousands of times in one
// process, so each run has to start from the state a fresh process has, and
// must hand back what the previous one held.
#pragma once

// Releases what a run holds (the archive and output handles, the work
// memory, the unpacked messages, a start-up prompt not yet shown), then puts
// every process-wide value of the stub logic and of the host platform side
// (scripted answers, drive mappings, volume labels, system overrides) back
// to its state at process start, the settings block included.
void ResetRunState();
