// Host-only: the disks in the drives. A test (or the headless runner, when it
// answers a disk prompt) changes the label between calls, as a user swaps
// disks.
#pragma once

// The label of drive `letter`; null means no disk (the lookup fails).
void HostSetVolumeLabel(char letter, const char* label);
