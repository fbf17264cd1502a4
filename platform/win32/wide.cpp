#include "platform/win32/wide.h"

namespace {

// The plain calls take at most MAX_PATH units, and CreateDirectory 12 fewer
// (room for an 8.3 name inside the folder).
const int kPlainPathLimit = MAX_PATH - 12;

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

}  // namespace

wchar_t* ToWide(const char* text, wchar_t* wide) {
  int units = MultiByteToWideChar(CP_UTF8, 0, text, -1, wide, kWideTextUnits);
  if (units == 0) {
    // Too long: cut, as the ANSI calls cut their buffers.
    units = MultiByteToWideChar(CP_UTF8, 0, text, -1, wide, kWideTextUnits - 1);
    wide[units > 0 ? units : 0] = 0;
    wide[kWideTextUnits - 1] = 0;
  }
  return wide;
}

wchar_t* ToWidePath(const char* path, wchar_t* wide) {
  static const wchar_t kPrefix[] = L"\\\\?\\";        // \\?\ for C:\...
  static const wchar_t kUncPrefix[] = L"\\\\?\\UNC";  // \\?\UNC for \\server\share
  wchar_t plain[kWideTextUnits];
  ToWide(path, plain);
  int length = lstrlenW(plain);
  bool drivePath = length > 2 && plain[1] == L':' && IsSeparator(plain[2]);
  bool networkPath = length > 2 && IsSeparator(plain[0]) && IsSeparator(plain[1]) && plain[2] != L'?';
  if (length < kPlainPathLimit || !(drivePath || networkPath)) {
    __builtin_memcpy(wide, plain, (length + 1) * sizeof(wchar_t));
    return wide;
  }
  // The prefixed form takes no '/' and no "." or ".." components: the
  // stub's joined paths have neither.
  const wchar_t* prefix = drivePath ? kPrefix : kUncPrefix;
  int prefixLength = drivePath ? 4 : 7;
  const wchar_t* rest = drivePath ? plain : plain + 1;  // \\server becomes \\?\UNC\server
  int restLength = drivePath ? length : length - 1;
  if (prefixLength + restLength >= kWideTextUnits) restLength = kWideTextUnits - 1 - prefixLength;
  __builtin_memcpy(wide, prefix, prefixLength * sizeof(wchar_t));
  for (int i = 0; i < restLength; ++i) wide[prefixLength + i] = rest[i] == L'/' ? L'\\' : rest[i];
  wide[prefixLength + restLength] = 0;
  return wide;
}

uint32_t ToUtf8(const wchar_t* wide, char* text, uint32_t size) {
  if (size == 0) return 0;
  int written = WideCharToMultiByte(CP_UTF8, 0, wide, -1, text, static_cast<int>(size), nullptr, nullptr);
  if (written > 0) return static_cast<uint32_t>(written - 1);
  // Too long: take whole characters while they fit.
  uint32_t length = 0;
  for (const wchar_t* unit = wide; *unit != 0;) {
    int count = (unit[0] >= 0xD800 && unit[0] < 0xDC00 && unit[1] != 0) ? 2 : 1;
    char bytes[8];
    int needed = WideCharToMultiByte(CP_UTF8, 0, unit, count, bytes, sizeof bytes, nullptr, nullptr);
    if (needed <= 0 || length + static_cast<uint32_t>(needed) + 1 > size) break;
    __builtin_memcpy(text + length, bytes, static_cast<uint32_t>(needed));
    length += static_cast<uint32_t>(needed);
    unit += count;
  }
  text[length] = 0;
  return length;
}

uint32_t ReturnUtf8(const wchar_t* wide, uint32_t units, char* buffer, uint32_t size) {
  if (units == 0 || units >= static_cast<uint32_t>(kWideTextUnits)) return units;
  char text[kWideTextUnits * 3];
  uint32_t length = ToUtf8(wide, text, sizeof text);
  if (length + 1 > size) return length + 1;
  __builtin_memcpy(buffer, text, length + 1);
  return length;
}
