#include "tools/mksfx/entry_checks.h"

#include <zlib.h>

#include <algorithm>
#include <map>
#include <set>

#include "tools/mksfx/entry_names.h"

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

bool Refuse(std::string* error, const ZipEntry& entry, const std::string& why) {
  *error = "entry " + QuoteName(entry.name) + " " + why;
  return false;
}

bool CheckName(const ZipEntry& entry, std::string* error) {
  if (entry.name.size() > kMaxNameLength)
    return Refuse(error, entry, "has a name of " + std::to_string(entry.name.size()) +
                                    " bytes; at most " + std::to_string(kMaxNameLength) +
                                    " are allowed");
  if (const char* reason = UnsafeNameReason(entry.name))
    return Refuse(error, entry, std::string("has an unsafe name: ") + reason);
  return true;
}

bool CheckMethod(const ZipEntry& entry, std::string* error) {
  if (entry.method != kZipMethodStored && entry.method != kZipMethodDeflated)
    return Refuse(error, entry, "uses compression method " + std::to_string(entry.method) + " (" +
                                    MethodName(entry.method) +
                                    "); only stored (0) and deflated (8) entries can be unpacked");
  if ((entry.flags & (kZipFlagStrongEncryption | kZipFlagMaskedHeaders)) != 0)
    return Refuse(error, entry, "uses strong encryption; only the traditional encryption is supported");
  return true;
}

bool CheckSizes(const ZipEntry& entry, std::string* error) {
  // The stub reads the next record right behind a folder entry's header
  // when the folder claims to have content.
  if (entry.IsFolder() && entry.uncompressedSize != 0)
    return Refuse(error, entry, "is a folder with data");
  if (entry.IsEncrypted() && !entry.IsFolder() && entry.compressedSize < kEncryptionHeaderSize)
    return Refuse(error, entry, "is encrypted but shorter than the 12-byte encryption header");
  return true;
}

// Two entries on the same file would overwrite each other, and a file where
// a later entry needs a folder makes the stub fail half-way through.
bool CheckCollisions(const ZipArchive& archive, std::string* error) {
  std::map<std::string, const ZipEntry*> seen;
  std::map<std::string, const ZipEntry*> folders;  // every parent folder some entry needs
  for (const ZipEntry& entry : archive.entries) {
    std::string key = NameCollisionKey(entry.name);
    auto [previous, fresh] = seen.emplace(key, &entry);
    if (!fresh)
      return Refuse(error, entry, "lands on the same file as entry " + QuoteName(previous->second->name));
    for (size_t slash = key.find('/'); slash != std::string::npos; slash = key.find('/', slash + 1))
      folders.emplace(key.substr(0, slash), &entry);
  }
  for (const ZipEntry& entry : archive.entries) {
    auto folder = folders.find(NameCollisionKey(entry.name));
    if (!entry.IsFolder() && folder != folders.end())
      return Refuse(error, entry, "is a file, but entry " + QuoteName(folder->second->name) +
                                      " needs a folder of that name");
  }
  return true;
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

bool CheckEntries(const Bytes& input, const ZipArchive& archive, std::string* error) {
  uint64_t totalSize = 0;
  for (const ZipEntry& entry : archive.entries) {
    if (!CheckName(entry, error) || !CheckMethod(entry, error) || !CheckSizes(entry, error))
      return false;
    if (!entry.IsEncrypted() && !entry.IsFolder() && !DataMatches(input.data() + entry.dataOffset, entry))
      return Refuse(error, entry, "is damaged: its data does not match its size and CRC-32");
    totalSize += entry.uncompressedSize;
  }
  if (totalSize > 0xFFFFFFFFu) {
    *error = "the entries add up to more than 4 GiB, more than the self-extractor can count";
    return false;
  }
  return CheckCollisions(archive, error);
}
