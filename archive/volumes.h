// Spanned sets: an archive spread over several removable disks, told apart by
// their volume labels.
#pragma once

#include "platform/types.h"

extern uint32_t g_currentDisk;

// Brings disk `disk` of the set into the drive (asking the user when its label
// does not match) and reopens the archive handle on the volume file there,
// named like the executable with ".EXE" or ".ZIP". The handle is then at
// offset 0 of that file. Gives up through AbortPass or a fatal error.
void SwitchVolume(uint32_t disk, int exeVolumes);
