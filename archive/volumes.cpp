#include "archive/volumes.h"

#include "stub/abort.h"

uint32_t g_currentDisk;

// Spanned sets are not read yet: a file that says it is one is refused as
// damaged rather than read from the wrong place.
void SwitchVolume(uint32_t disk, int exeVolumes) {
  (void)exeVolumes;
  g_currentDisk = disk;
  FatalHeaderCorrupt();
}
