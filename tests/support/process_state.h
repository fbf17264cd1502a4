// Test-only: the stub keeps its state in process-wide variables, as a program
// that runs once would. Tests that run start-up and passes again and again in
// one process put everything back between runs with this.
#pragma once

// Closes the archive and output handles, frees the work memory, the string
// table and the start-up prompt, and zeroes every process-wide value of
// start-up and the pass (the settings block keeps its marker).
void ResetProcessState();
