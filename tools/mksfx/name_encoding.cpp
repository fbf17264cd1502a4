#include "tools/mksfx/name_encoding.h"

#include <iconv.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>

#include "tools/mksfx/entry_names.h"
#include "tools/mksfx/windows_case.h"

namespace {

// The Unicode Path extra field: a version byte (1), the CRC-32 of the name
// field it stands for, then that name in UTF-8.
const uint16_t kUnicodePathId = 0x7075;
const size_t kUnicodePathHeaderSize = 5;

// The high byte of "version made by": the system that wrote the entry.
const uint16_t kMadeOnUnix = 3;

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

bool IsAscii(const std::string& name) {
  for (char c : name)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

uint32_t NameCrc(const std::string& name) {
  return static_cast<uint32_t>(
      crc32(crc32(0, Z_NULL, 0), reinterpret_cast<const Bytef*>(name.data()), static_cast<uInt>(name.size())));
}

// The UTF-8 name that a Unicode Path field in `extra` gives for the stored
// name, or false when there is none that matches it. The extra field is
// well-formed (the reader drops the others).
bool FindUnicodePath(const Bytes& extra, const std::string& storedName, std::string* name) {
  for (size_t at = 0; FitsIn(extra.size(), at, 4); at += 4 + GetLe16(extra, at + 2)) {
    size_t length = GetLe16(extra, at + 2);
    if (GetLe16(extra, at) != kUnicodePathId || length < kUnicodePathHeaderSize || extra[at + 4] != 1) continue;
    if (GetLe32(extra, at + 5) != NameCrc(storedName)) continue;  // the name was changed after the field was made
    std::string found(extra.begin() + at + 4 + kUnicodePathHeaderSize, extra.begin() + at + 4 + length);
    if (!IsUtf8(found)) continue;
    *name = found;
    return true;
  }
  return false;
}

Bytes WithoutUnicodePath(const Bytes& extra) {
  Bytes kept;
  for (size_t at = 0; FitsIn(extra.size(), at, 4); at += 4 + GetLe16(extra, at + 2)) {
    if (GetLe16(extra, at) != kUnicodePathId)
      kept.insert(kept.end(), extra.begin() + at, extra.begin() + at + 4 + GetLe16(extra, at + 2));
  }
  return kept;
}

bool Convert(iconv_t converter, const std::string& from, std::string* to) {
  iconv(converter, nullptr, nullptr, nullptr, nullptr);  // a fresh start for each name
  std::string in = from;
  char* inAt = in.data();
  size_t inLeft = in.size();
  std::string out(in.size() * 4 + 16, '\0');  // UTF-8 takes at most 4 bytes per character
  char* outAt = out.data();
  size_t outLeft = out.size();
  if (iconv(converter, &inAt, &inLeft, &outAt, &outLeft) == static_cast<size_t>(-1) ||
      iconv(converter, nullptr, nullptr, &outAt, &outLeft) == static_cast<size_t>(-1))
    return false;
  if (inLeft != 0) return false;  // a byte left over is part of the name too
  out.resize(out.size() - outLeft);
  *to = out;
  return IsUtf8(out);
}

void MarkUtf8(ZipEntry* entry, const std::string& name) {
  entry->name = name;
  entry->flags |= kZipFlagUtf8Name;
}

// One entry by the rules in the header; `converter` is kNoConverter when no
// charset was given.
void SettleName(const NameReading& reading, iconv_t converter, ZipEntry* entry, std::vector<std::string>* unmarked,
                std::vector<std::string>* problems) {
  std::string unicodeName;
  bool hasUnicodePath = FindUnicodePath(entry->centralExtra, entry->name, &unicodeName) ||
                        FindUnicodePath(entry->localExtra, entry->name, &unicodeName);
  entry->centralExtra = WithoutUnicodePath(entry->centralExtra);
  entry->localExtra = WithoutUnicodePath(entry->localExtra);
  bool madeOnUnix = (entry->versionMadeBy >> 8) == kMadeOnUnix;
  std::string converted;
  if (hasUnicodePath) {
    MarkUtf8(entry, unicodeName);
  } else if ((entry->flags & kZipFlagUtf8Name) != 0) {
    if (!IsUtf8(entry->name))
      problems->push_back("entry " + QuoteName(entry->name) + " is marked as UTF-8 but its name is not UTF-8");
  } else if (IsAscii(entry->name)) {
    // The same bytes in UTF-8 and in every ANSI and OEM code page.
  } else if ((reading.allUtf8 || madeOnUnix) && IsUtf8(entry->name)) {
    MarkUtf8(entry, entry->name);
  } else if (converter != kNoConverter) {
    if (Convert(converter, entry->name, &converted))
      MarkUtf8(entry, converted);
    else
      problems->push_back("entry " + QuoteName(entry->name) + " has a name that is not text in " + reading.charset);
  } else {
    unmarked->push_back(entry->name);
  }
}

}  // namespace

bool IsKnownCharset(const std::string& charset) {
  iconv_t converter = iconv_open("UTF-8", charset.c_str());
  if (converter == kNoConverter) return false;
  iconv_close(converter);
  return true;
}

bool KeepsAsciiNames(const std::string& charset) {
  // Printable ASCII but '\' and '~', which Shift JIS reads as the yen and
  // the overline and Japanese Windows still as a separator and a tilde.
  std::string ascii;
  for (char c = ' '; c < 0x7F; ++c)
    if (c != '\\' && c != '~') ascii += c;
  iconv_t converter = iconv_open("UTF-8", charset.c_str());
  if (converter == kNoConverter) return false;
  std::string converted;
  bool same = Convert(converter, ascii, &converted) && converted == ascii;
  iconv_close(converter);
  return same;
}

bool SettleNames(const NameReading& reading, ZipArchive* archive, std::vector<std::string>* unmarked,
                 std::vector<std::string>* problems) {
  iconv_t converter = reading.charset.empty() ? kNoConverter : iconv_open("UTF-8", reading.charset.c_str());
  if (!reading.charset.empty() && converter == kNoConverter) {
    problems->push_back("cannot convert names from " + reading.charset + ": " + std::strerror(errno));
    return false;
  }
  size_t found = problems->size();
  for (ZipEntry& entry : archive->entries) SettleName(reading, converter, &entry, unmarked, problems);
  if (converter != kNoConverter) iconv_close(converter);
  return problems->size() == found;
}
