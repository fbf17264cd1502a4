// Host-only: the console of whoever started the program (see SysTellStarter).
#pragma once

#include <string>
#include <vector>

// Whether the program has a starter to tell (true unless set): false makes
// SysTellStarter decline, as for a program started by a double-click.
void HostSetStarterConsole(bool hasConsole);

// Every line told to the starter since the last reset, oldest first.
const std::vector<std::string>& HostStarterLines();

void HostResetStarter();
