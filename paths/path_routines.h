// Small routines on paths, shared by the output paths, the default folder,
// start-up and the main dialog. Paths are ANSI byte strings; '\' and '/' both
// separate components when a path is read, '\' is what is written. Separator
// tests look at single bytes.
#pragma once

#include "platform/types.h"

// Paths are UTF-8; their limits count UTF-16 units, as Windows does. An
// output path (target folder and entry name joined) may have up to
// kPathUnitsLimit units: the long-path form of the file calls takes them.
const uint32_t kPathUnitsLimit = 1023;
const uint32_t kPathBufferSize = 3 * kPathUnitsLimit + 1;  // at most 3 bytes a unit in UTF-8

// The UTF-16 units that the UTF-8 byte `byte` starts: none for a
// continuation byte, two for a character beyond the 65,536 of the first
// plane (a surrogate pair), one for any other.
inline uint32_t Utf16UnitsStartedBy(char byte) {
  unsigned char value = static_cast<unsigned char>(byte);
  if ((value & 0xC0) == 0x80) return 0;
  return value >= 0xF0 ? 2 : 1;
}

// The number of UTF-16 units the UTF-8 text makes.
inline uint32_t Utf16Length(const char* text, uint32_t bytes = 0xFFFFFFFF) {
  uint32_t units = 0;
  for (uint32_t i = 0; i < bytes && text[i] != 0; ++i) units += Utf16UnitsStartedBy(text[i]);
  return units;
}

// The number of characters a person sees in the UTF-8 text: a character
// beyond the first plane counts once, although it takes two UTF-16 units.
inline uint32_t CharacterCount(const char* text) {
  uint32_t characters = 0;
  for (; *text != 0; ++text) {
    if ((static_cast<unsigned char>(*text) & 0xC0) != 0x80) ++characters;
  }
  return characters;
}

// Cuts the UTF-8 text behind its first `units` UTF-16 units, between two
// characters: a character that does not fit whole (a pair with one unit
// left) goes too, so the text stays valid and within its limit.
void CutToUnits(char* text, uint32_t units);

inline bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

// The text behind the last separator that is not the first character; the
// path itself when there is none. C:\A\B.TXT gives B.TXT, DIR/ the empty text
// at its end, \B.TXT the whole \B.TXT.
const char* FileNamePart(const char* path);
inline char* FileNamePart(char* path) {
  return const_cast<char*>(FileNamePart(static_cast<const char*>(path)));
}

// What a path names on disk. A path that ends in a separator names nothing.
// A link (symbolic link, junction, mount point) is a kind of its own, whatever
// it leads to.
enum class PathKind { kNothing, kFile, kFolder, kLink };
PathKind KindOfPath(const char* path);

// True when a file or folder exists at the path.
inline bool PathExists(const char* path) { return KindOfPath(path) != PathKind::kNothing; }

// Creates one folder (its parent must exist); true when it was made.
bool CreateFolder(const char* path);

// Appends "\" unless the text is not empty and already ends with a separator.
// The caller's buffer has room for one more byte.
void AppendSeparator(char* text);

// Removes one trailing '\' when the text is longer than 2 characters and the
// character before it is neither '\' nor ':': C:\TEMP\ becomes C:\TEMP, while
// C:\ and \\ stay as they are.
void StripTrailingSeparator(char* text);

// True when the drive letter that the path starts with names a usable drive.
bool IsUsableDrive(const char* path);

// Replaces the last component of the path (a buffer of kExecutablePathSize bytes) by the long
// name under which the file is found; leaves the path as it is when nothing
// is found there or the long name would not fit.
void LongModuleName(char* path);
