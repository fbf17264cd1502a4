// Host-only: the registry value, the key state and the program starts that
// the archiver hand-over sees, set up and recorded by tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The default value of a key under HKEY_CLASSES_ROOT (key names ignore case);
// a null value removes the key.
void HostSetClassesRootValue(const char* key, const char* value);

// Whether Shift is held down; not by default.
void HostSetShiftKeyDown(int down);

// What the next program starts report (by default 33, started).
void HostSetStartResult(uint32_t result);

// Every command line started since the last reset, oldest first.
const std::vector<std::string>& HostStartedPrograms();

// Forgets the registry values, the key state, the start result and the starts.
void HostResetProcess();
