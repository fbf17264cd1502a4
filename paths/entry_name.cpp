// Entry names come from the archive, so they are untrusted: whatever they
// hold, every file and folder of an entry must land under the target folder,
// and never on a device.
#include "paths/entry_name.h"

#include "paths/path_routines.h"
#include "platform/format.h"
#include "base/abort.h"
#include "base/messages.h"

namespace {

char UpperCase(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameLetters(const char* text, const char* capitals, uint32_t length) {
  for (uint32_t i = 0; i < length; ++i) {
    if (UpperCase(text[i]) != capitals[i]) return false;
  }
  return true;
}

// A component of dots and blanks alone, "." apart: "..", what Windows reads
// as ".." (older systems took "..." for two levels up), and what would lose
// every character when its trailing dots and blanks are dropped, putting its
// files one folder higher than the name says.
bool IsDotsAndBlanksOnly(const char* component, uint32_t length) {
  if (length == 0 || (length == 1 && component[0] == '.')) return false;
  for (uint32_t i = 0; i < length; ++i) {
    if (component[i] != '.' && component[i] != ' ') return false;
  }
  return true;
}

// The number of a COM or LPT port, `length` bytes: a digit, or one of the
// superscripts 1, 2 and 3 (U+00B9, U+00B2, U+00B3, two bytes each in UTF-8),
// which Windows takes for the same ports.
bool IsPortNumber(const char* number, uint32_t length) {
  if (length == 1) return number[0] >= '0' && number[0] <= '9';
  unsigned char second = static_cast<unsigned char>(number[1]);
  return static_cast<unsigned char>(number[0]) == 0xC2 && (second == 0xB9 || second == 0xB2 || second == 0xB3);
}

// Windows opens a device for these base names, whatever extension follows and
// with blanks before the extension: "nul", "NUL.txt", "Con .log", "com1.x.y".
bool IsDeviceName(const char* component, uint32_t length) {
  uint32_t base = 0;
  while (base < length && component[base] != '.') ++base;
  while (base > 0 && component[base - 1] == ' ') --base;
  switch (base) {
    case 3:
      return SameLetters(component, "CON", 3) || SameLetters(component, "PRN", 3) ||
             SameLetters(component, "AUX", 3) || SameLetters(component, "NUL", 3);
    case 4:
    case 5:
      return IsPortNumber(component + 3, base - 3) &&
             (SameLetters(component, "COM", 3) || SameLetters(component, "LPT", 3));
    case 6: return SameLetters(component, "CONIN$", 6);   // the console's input
    case 7: return SameLetters(component, "CONOUT$", 7);  // and output
    default: return false;
  }
}

}  // namespace

bool IsValidUtf8(const char* text) {
  const unsigned char* byte = reinterpret_cast<const unsigned char*>(text);
  while (*byte != 0) {
    uint32_t lead = *byte++;
    if (lead < 0x80) continue;
    uint32_t following;
    uint32_t value;
    uint32_t lowest;
    if (lead >= 0xC2 && lead <= 0xDF) {
      following = 1, value = lead & 0x1F, lowest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      following = 2, value = lead & 0x0F, lowest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      following = 3, value = lead & 0x07, lowest = 0x10000;
    } else {
      return false;  // a continuation byte where a character starts, or no UTF-8 lead at all
    }
    for (; following > 0; --following) {
      if ((*byte & 0xC0) != 0x80) return false;
      value = (value << 6) | (*byte++ & 0x3F);
    }
    if (value < lowest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
  }
  return true;
}

bool HasUnsafeComponent(const char* name) {
  const char* component = name;
  for (const char* p = name;; ++p) {
    if (*p == ':') return true;
    if (*p != 0 && !IsPathSeparator(*p)) continue;
    uint32_t length = static_cast<uint32_t>(p - component);
    if (IsDotsAndBlanksOnly(component, length) || IsDeviceName(component, length)) return true;
    if (*p == 0) return false;
    component = p + 1;
  }
}

void CheckEntryName(const char* name) {
  // An empty name has no last character to tell a folder from a file.
  if (name[0] == 0) FatalError(MessageText(kMessageInvalidHeader));
  if (HasUnsafeComponent(name) || !IsValidUtf8(name)) {
    SysFormat(g_formatBuffer, MessageText(kMessageUnsafeName), name);
    FatalError(g_formatBuffer);
  }
}
