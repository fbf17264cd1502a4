// Spanned sets: an archive spread over several removable disks, told apart by
// their volume labels.
#pragma once

#include "platform/types.h"

// --- Process-wide state of the spanned volumes (ResetVolumes puts it back) ---
struct VolumesState {
  // The number read from the label of the disk now in the drive (1 at first).
  uint32_t currentDisk;
};
extern VolumesState g_volumes;

void ResetVolumes();

// What ReadVolumeNumber gives for a disk without a valid label.
const uint32_t kNoVolumeNumber = 0xFFFF;

// The disk number in the label of the volume in `drive` ("A:"): "PKBACK#",
// then a blank or point, then digits (cut to 16 bits). kNoVolumeNumber when
// there is no label, no such prefix, no separator or no digit.
uint32_t ReadVolumeNumber(const char* drive);

// Brings disk `disk` of the set into the drive (asking the user when its label
// does not match) and reopens the archive handle on the volume file there,
// named like the executable with ".EXE" or ".ZIP". The handle is then at
// offset 0 of that file. Gives up through AbortPass or a fatal error.
// Disk 0 stands for the last disk of the set.
void SwitchVolume(uint32_t disk, bool exeVolumes);
