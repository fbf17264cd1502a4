#include "tools/mksfx/windows_case.h"

#include <algorithm>

namespace {

// The upper half of code page 437; the lower half is ASCII.
const char16_t kCodePage437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The length of the UTF-8 sequence that `lead` opens, 0 when no sequence
// may open with it (a continuation byte, or a lead of an overlong form or of
// a code point above U+10FFFF).
size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

char32_t SequenceValue(const std::string& bytes, size_t at, size_t length) {
  static const unsigned char kLeadMask[5] = {0, 0x7F, 0x1F, 0x0F, 0x07};
  char32_t value = static_cast<unsigned char>(bytes[at]) & kLeadMask[length];
  for (size_t i = 1; i < length; ++i) value = (value << 6) | (static_cast<unsigned char>(bytes[at + i]) & 0x3F);
  return value;
}

// The shortest form, and no surrogate halves or values beyond Unicode.
bool IsAllowedValue(char32_t value, size_t length) {
  static const char32_t kLowest[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kLowest[length]) return false;
  return !(value >= 0xD800 && value <= 0xDFFF) && value <= 0x10FFFF;
}

}  // namespace

char32_t WindowsUpperCase(char32_t code) {
  const UpperCaseRun* end = kUpperCaseRuns + kUpperCaseRunCount;
  const UpperCaseRun* run = std::lower_bound(kUpperCaseRuns, end, code,
                                             [](const UpperCaseRun& r, char32_t c) { return r.last < c; });
  if (run == end || code < run->first || (code - run->first) % run->step != 0) return code;
  return static_cast<char32_t>(static_cast<int32_t>(code) + run->delta);
}

size_t Utf8SequenceAt(const std::string& bytes, size_t at) {
  size_t length = SequenceLength(static_cast<unsigned char>(bytes[at]));
  if (length == 0 || length > bytes.size() - at) return 0;
  for (size_t i = 1; i < length; ++i)
    if (!IsContinuation(static_cast<unsigned char>(bytes[at + i]))) return 0;
  return IsAllowedValue(SequenceValue(bytes, at, length), length) ? length : 0;
}

bool IsUtf8(const std::string& bytes) {
  for (size_t at = 0; at < bytes.size();) {
    size_t length = Utf8SequenceAt(bytes, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

std::u32string DecodeUtf8(const std::string& bytes) {
  std::u32string text;
  for (size_t at = 0; at < bytes.size();) {
    size_t length = std::max<size_t>(SequenceLength(static_cast<unsigned char>(bytes[at])), 1);
    length = std::min(length, bytes.size() - at);
    text += SequenceValue(bytes, at, length);
    at += length;
  }
  return text;
}

std::u32string DecodeCodePage437(const std::string& bytes) {
  std::u32string text;
  for (char c : bytes) {
    unsigned char byte = static_cast<unsigned char>(c);
    text += byte >= 0x80 ? kCodePage437High[byte - 0x80] : byte;
  }
  return text;
}
