// Spanned sets. Each disk of a set carries the volume label "PKBACK#", a
// blank or point, and its number; the volume file on it is named like the
// executable, with ".EXE" or ".ZIP". Switching to a disk closes the archive,
// asks for the disk until the label matches (or the user takes the disk in
// the drive as it is), and reopens the volume file there at offset 0.
#include "archive/volumes.h"

#include "archive/input.h"
#include "platform/bytes.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/format.h"
#include "platform/volumes.h"
#include "base/abort.h"
#include "base/boxes.h"
#include "base/messages.h"
#include "base/run_facts.h"

VolumesState g_volumes = {1};

void ResetVolumes() { g_volumes.currentDisk = 1; }

namespace {

const uint32_t kLabelSize = 32;

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// kMessageWrongDisk until a label can be read; the disk number the user settles on.
uint32_t AskForReadableDisk(const char* drive, uint32_t wanted) {
  uint32_t number = ReadVolumeNumber(drive);
  while (number == kNoVolumeNumber) {
    SysFormat(g_formatBuffer, MessageText(kMessageWrongDisk), wanted);
    int answer = ShowBox(g_mainDialog, g_formatBuffer, kStubCaption, kBoxAbortRetryIgnore | kBoxIconQuestion);
    if (answer == kAnswerAbort) AbortPass();
    if (answer == kAnswerIgnore) return wanted;  // take the disk in the drive as the wanted one
    number = ReadVolumeNumber(drive);
  }
  return number;
}

// kMessageInsertDisk (kMessageInsertLastDisk for the last disk) with OK and Cancel; Cancel gives up.
void AskForDisk(const char* drive, uint32_t wanted) {
  if (wanted != 0) {
    SysFormat(g_formatBuffer, MessageText(kMessageInsertDisk), wanted, drive);
  } else {
    SysFormat(g_formatBuffer, MessageText(kMessageInsertLastDisk), drive);
  }
  if (!AskOkCancel(g_formatBuffer, false)) AbortPass();
}

// The executable path with its extension replaced by ".EXE" or ".ZIP".
void VolumePath(char* path, bool exeVolumes) {
  CopyText(path, g_executablePath, kExecutablePathSize);
  uint32_t length = TextLength(path);
  uint32_t dot = length;
  while (dot > 0 && path[dot - 1] != '.') --dot;
  uint32_t cut = dot > 0 ? dot - 1 : length;  // no extension: append one
  if (cut + 5 > kExecutablePathSize) cut = kExecutablePathSize - 5;
  CopyText(path + cut, exeVolumes ? ".EXE" : ".ZIP", 5);
}

}  // namespace

uint32_t ReadVolumeNumber(const char* drive) {
  char label[kLabelSize + 1];
  FillBytes(label, 0, sizeof(label));
  if (SysGetVolumeLabel(drive, label, kLabelSize) == 0) return kNoVolumeNumber;
  static const char kPrefix[] = {'P', 'K', 'B', 'A', 'C', 'K', '#'};
  if (CompareBytes(label, kPrefix, sizeof(kPrefix)) != 0) return kNoVolumeNumber;
  const char* cursor = label;
  while (*cursor != 0 && *cursor != ' ' && *cursor != '.') ++cursor;
  if (*cursor == 0) return kNoVolumeNumber;
  while (*cursor != 0 && !IsDigit(*cursor)) ++cursor;
  if (*cursor == 0) return kNoVolumeNumber;  // a separator but no number
  uint32_t number = 0;
  for (; IsDigit(*cursor); ++cursor) number = (number * 10 + static_cast<uint32_t>(*cursor - '0')) & 0xFFFF;
  return number;
}

void SwitchVolume(uint32_t disk, bool exeVolumes) {
  uint32_t wanted = disk & 0xFFFF;
  if (g_archiveInput.handle != 0) {
    SysClose(g_archiveInput.handle);
    g_archiveInput.handle = 0;
  }
  char drive[3] = {g_executablePath[0], ':', 0};
  for (;;) {
    g_volumes.currentDisk = AskForReadableDisk(drive, wanted);
    if (g_volumes.currentDisk == wanted) break;
    AskForDisk(drive, wanted);
  }
  char path[kExecutablePathSize];
  VolumePath(path, exeVolumes);
  g_archiveInput.handle = SysOpen(path, kOpenRead | kOpenShareDenyWrite);
  if (g_archiveInput.handle == kFileError) {
    g_archiveInput.handle = 0;
    FatalHeaderCorrupt();
  }
}
