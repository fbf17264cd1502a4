#include "tools/mksfx/entry_checks.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "archive/aes.h"  // the stub's own reading of the AES field
#include "tools/mksfx/entry_names.h"
#include "tools/mksfx/windows_case.h"

namespace {

const char* MethodName(uint16_t method) {
  switch (method) {
    case 1: return "Shrink";
    case 2: case 3: case 4: case 5: return "Reduce";
    case 6: return "Implode";
    case 9: return "Deflate64";
    case 12: return "BZip2";
    case 14: return "LZMA";
    case 93: return "Zstandard";
    case 95: return "XZ";
    case 98: return "PPMd";
    case 99: return "AES encryption";
    default: return "unknown";
  }
}

using Problems = std::vector<std::string>;

void Report(Problems* problems, const ZipEntry& entry, const std::string& why) {
  problems->push_back("entry " + QuoteName(entry.name) + " " + why);
}

// Why the stub could not unzip an entry of this name, or "" when it could.
std::string NameProblem(const ZipEntry& entry) {
  if (entry.name.size() > kMaxNameLength)
    return "has a name of " + std::to_string(entry.name.size()) + " bytes; at most " +
           std::to_string(kMaxNameLength) + " are allowed";
  if (const char* reason = UnsafeNameReason(entry.name)) return std::string("has an unsafe name: ") + reason;
  if (const char* reason = UncreatableNameReason(entry.name))
    return std::string("has a name Windows cannot create: ") + reason;
  return "";
}

void CheckName(const ZipEntry& entry, Problems* problems) {
  std::string problem = NameProblem(entry);
  if (!problem.empty()) Report(problems, entry, problem);
}

// The AES field of an entry's local header, which the stub reads; false when
// it has none that the stub would take.
bool LocalAesField(const ZipEntry& entry, AesField* field) {
  return FindAesField(entry.localExtra.data(), static_cast<uint32_t>(std::min<size_t>(entry.localExtra.size(), kAesExtraSearched)),
                      field);
}

// An AES entry (as 7-Zip and the builder write them) goes in as it is; what
// counts is the method of the data inside.
void CheckAesMethod(const ZipEntry& entry, Problems* problems) {
  AesField field;
  if (!entry.IsEncrypted() || !LocalAesField(entry, &field)) {
    Report(problems, entry, "uses AES encryption (99) without a usable AES extra field in its local header");
  } else if (field.method != kZipMethodStored && field.method != kZipMethodDeflated) {
    Report(problems, entry, "holds AES-encrypted data of compression method " + std::to_string(field.method) + " (" +
                                MethodName(field.method) +
                                "); only stored (0) and deflated (8) entries can be unpacked");
  } else if (!entry.IsFolder() && entry.compressedSize < AesOverheadBytes(field)) {
    Report(problems, entry, "is AES-encrypted but shorter than its salt, verifier and authentication code");
  }
}

void CheckMethod(const ZipEntry& entry, Problems* problems) {
  if (entry.method == kMethodAes) {
    CheckAesMethod(entry, problems);
  } else if (entry.method != kZipMethodStored && entry.method != kZipMethodDeflated)
    Report(problems, entry, "uses compression method " + std::to_string(entry.method) + " (" +
                                MethodName(entry.method) +
                                "); only stored (0) and deflated (8) entries can be unpacked");
  if ((entry.flags & (kZipFlagStrongEncryption | kZipFlagMaskedHeaders)) != 0)
    Report(problems, entry, "uses strong encryption; only the traditional and the AES encryption are supported");
}

void CheckSizes(const ZipEntry& entry, Problems* problems) {
  // The stub reads the next record right behind a folder entry's header
  // when the folder claims to have content.
  if (entry.IsFolder() && entry.uncompressedSize != 0) Report(problems, entry, "is a folder with data");
  if (entry.IsEncrypted() && !entry.IsFolder() && entry.method != kMethodAes &&
      entry.compressedSize < kEncryptionHeaderSize)
    Report(problems, entry, "is encrypted but shorter than the 12-byte encryption header");
}

void CheckTotalSize(const ZipArchive& archive, Problems* problems) {
  uint64_t totalSize = 0;
  for (const ZipEntry& entry : archive.entries) totalSize += entry.uncompressedSize;
  if (totalSize > 0xFFFFFFFFu)
    problems->push_back("the entries add up to more than 4 GiB, more than the self-extractor can count");
}

// The self-extractor reads a name flagged as UTF-8 (SettleNames flags every
// name it knows to be UTF-8) as UTF-8, and any other in the OEM code page:
// code page 437 stands for it here, that of US Windows.
bool IsUtf8Name(const ZipEntry& entry) { return (entry.flags & kZipFlagUtf8Name) != 0 && IsUtf8(entry.name); }

// Two entries on one file would overwrite each other, and a file where a
// later entry needs a folder makes the stub fail half-way through: every
// pair of entries that Windows puts on one file, and every file where
// another entry needs a folder.
void CheckClashes(const ZipArchive& archive, Problems* problems) {
  std::map<std::u32string, const ZipEntry*> placed;   // the first entry on each file or folder
  std::map<std::u32string, const ZipEntry*> folders;  // every folder some entry lies in
  std::vector<std::pair<std::u32string, const ZipEntry*>> files;
  for (const ZipEntry& entry : archive.entries) {
    if (!NameProblem(entry).empty()) continue;  // refused already
    std::u32string key = NameCollisionKey(entry.name, IsUtf8Name(entry));
    if (key.empty()) continue;  // the target folder itself
    auto [previous, fresh] = placed.emplace(key, &entry);
    // Two folder entries on one folder make one folder, as both meant.
    if (!fresh && !(entry.IsFolder() && previous->second->IsFolder()))
      Report(problems, entry, "lands on the same file as entry " + QuoteName(previous->second->name));
    for (size_t slash = key.find(U'/'); slash != std::u32string::npos; slash = key.find(U'/', slash + 1))
      folders.emplace(key.substr(0, slash), &entry);
    if (!entry.IsFolder()) files.emplace_back(key, &entry);
  }
  for (const auto& [key, entry] : files) {
    auto folder = folders.find(key);
    if (folder != folders.end())
      Report(problems, *entry, "is a file, but entry " + QuoteName(folder->second->name) +
                                   " needs a folder of that name");
  }
}

// The direction controls in a name, as "U+202E, U+2066"; "" when none.
std::string DirectionControlsIn(const std::string& name) {
  std::string found;
  for (char32_t code : DecodeUtf8(name)) {
    if (!IsDirectionControl(code)) continue;
    char shown[16];
    std::snprintf(shown, sizeof shown, "U+%04X", static_cast<unsigned>(code));
    if (found.find(shown) == std::string::npos) found += (found.empty() ? "" : ", ") + std::string(shown);
  }
  return found;
}

// Decodes (or reads) the entry and compares length and CRC-32 with the
// central directory, so that a damaged input is caught here and not by the
// person who runs the self-extractor. Encrypted entries cannot be checked.
bool DataMatches(const uint8_t* data, const ZipEntry& entry) {
  uLong crc = crc32(0, Z_NULL, 0);
  if (entry.method == kZipMethodStored) {
    if (entry.compressedSize != entry.uncompressedSize) return false;
    for (uint32_t done = 0; done < entry.compressedSize;) {
      uInt piece = static_cast<uInt>(std::min<uint32_t>(entry.compressedSize - done, 1u << 30));
      crc = crc32(crc, data + done, piece);
      done += piece;
    }
    return crc == entry.crc;
  }
  z_stream stream{};
  if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return false;
  stream.next_in = const_cast<Bytef*>(data);
  stream.avail_in = entry.compressedSize;
  uint64_t produced = 0;
  Bytef window[65536];
  int status = Z_OK;
  while (status == Z_OK && produced <= entry.uncompressedSize) {
    stream.next_out = window;
    stream.avail_out = sizeof window;
    status = inflate(&stream, Z_NO_FLUSH);
    uInt got = static_cast<uInt>(sizeof window - stream.avail_out);
    crc = crc32(crc, window, got);
    produced += got;
  }
  bool ended = status == Z_STREAM_END && stream.avail_in == 0;
  inflateEnd(&stream);
  return ended && produced == entry.uncompressedSize && crc == entry.crc;
}

}  // namespace

std::vector<std::string> NameWarnings(const ZipArchive& archive) {
  std::vector<std::string> warnings;
  for (const ZipEntry& entry : archive.entries) {
    // A name in a code page holds no such character: code page 437 has none.
    if (!IsUtf8Name(entry)) continue;
    std::string controls = DirectionControlsIn(entry.name);
    if (!controls.empty())
      Report(&warnings, entry, "holds characters that reverse the direction of the text around them (" + controls +
                                   "), so that its name, and its extension, can be shown as another");
  }
  return warnings;
}

void CheckNames(const ZipArchive& archive, std::vector<std::string>* problems) {
  for (const ZipEntry& entry : archive.entries) CheckName(entry, problems);
  CheckClashes(archive, problems);
}

uint16_t DataMethodOf(const ZipEntry& entry) {
  AesField field;
  return entry.method == kMethodAes && LocalAesField(entry, &field) ? field.method : entry.method;
}

bool CheckEntries(const Bytes& input, const ZipArchive& archive, std::vector<std::string>* problems) {
  size_t found = problems->size();
  CheckNames(archive, problems);
  for (const ZipEntry& entry : archive.entries) {
    CheckMethod(entry, problems);
    CheckSizes(entry, problems);
  }
  CheckTotalSize(archive, problems);
  // Decoding is the slow part: an archive refused already is not decoded.
  if (!problems->empty()) return false;
  for (const ZipEntry& entry : archive.entries) {
    if (!entry.IsEncrypted() && !entry.IsFolder() && !DataMatches(input.data() + entry.dataOffset, entry))
      Report(problems, entry, "is damaged: its data does not match its size and CRC-32");
  }
  return problems->size() == found;
}
