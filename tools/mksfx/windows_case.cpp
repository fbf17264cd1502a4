#include "tools/mksfx/windows_case.h"

#include <algorithm>

namespace {

// Code page 1252 from 0x80 to 0x9F; the rest of its upper half is Latin-1.
const char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
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

std::u32string DecodeWindows1252(const std::string& bytes) {
  std::u32string text;
  for (char c : bytes) {
    unsigned char byte = static_cast<unsigned char>(c);
    text += (byte >= 0x80 && byte < 0xA0) ? kWindows1252High[byte - 0x80] : byte;
  }
  return text;
}
