#include "tools/mksfx/zip_reader.h"

#include <algorithm>
#include <vector>

#include "tools/mksfx/entry_names.h"

namespace {

const uint16_t kZip64ExtraId = 0x0001;
const uint32_t kZip64Marker32 = 0xFFFFFFFF;
const uint16_t kZip64Marker16 = 0xFFFF;
const size_t kMaxCommentLength = 0xFFFF;
const size_t kZip64LocatorSize = 20;

// Where the central directory lies in the input, and how far the input's
// offsets are shifted: data in front of the archive (a stub, say) moves
// every record without changing the offsets stored in it.
struct CentralDirectory {
  size_t start = 0;
  size_t end = 0;  // the end record's position
  size_t shift = 0;
  uint16_t entryCount = 0;
};

bool Refuse(std::string* error, const std::string& text) {
  *error = text;
  return false;
}

bool Damaged(std::string* error, const std::string& what) {
  return Refuse(error, "the archive is damaged: " + what);
}

std::string EntryLabel(const ZipEntry& entry) { return "entry " + QuoteName(entry.name); }

// The last end record whose comment fits in the file. Searching from the end
// and taking the first fit is what zip tools do; trailing bytes are dropped.
bool FindEndRecord(const Bytes& zip, size_t* at) {
  if (zip.size() < kEndRecordSize) return false;
  size_t lowest = zip.size() >= kEndRecordSize + kMaxCommentLength
                      ? zip.size() - kEndRecordSize - kMaxCommentLength
                      : 0;
  for (size_t pos = zip.size() - kEndRecordSize + 1; pos-- > lowest;) {
    if (GetLe32(zip, pos) != kEndRecordSignature) continue;
    if (FitsIn(zip.size(), pos + kEndRecordSize, GetLe16(zip, pos + 20))) {
      *at = pos;
      return true;
    }
  }
  return false;
}

bool ReadEndRecord(const Bytes& zip, CentralDirectory* directory, Bytes* comment,
                   std::string* error) {
  size_t at = 0;
  if (!FindEndRecord(zip, &at)) return Refuse(error, "not a ZIP archive (no end of central directory record)");
  if (at >= kZip64LocatorSize && GetLe32(zip, at - kZip64LocatorSize) == kZip64LocatorSignature)
    return Refuse(error, "ZIP64 archives are not supported");
  uint16_t thisDisk = GetLe16(zip, at + 4);
  uint16_t directoryDisk = GetLe16(zip, at + 6);
  uint16_t entriesHere = GetLe16(zip, at + 8);
  uint16_t entriesTotal = GetLe16(zip, at + 10);
  uint32_t directorySize = GetLe32(zip, at + 12);
  uint32_t directoryOffset = GetLe32(zip, at + 16);
  if (entriesTotal == kZip64Marker16 || directorySize == kZip64Marker32 ||
      directoryOffset == kZip64Marker32)
    return Refuse(error, "ZIP64 archives are not supported");
  if (thisDisk != 0 || directoryDisk != 0 || entriesHere != entriesTotal ||
      (zip.size() >= 4 && GetLe32(zip, 0) == kDescriptorSignature))
    return Refuse(error, "split or spanned archives are not supported");
  if (directorySize > at) return Damaged(error, "the central directory is larger than the file");
  directory->start = at - directorySize;
  directory->end = at;
  if (directoryOffset > directory->start)
    return Damaged(error, "the central directory is not where the end record says");
  directory->shift = directory->start - directoryOffset;
  directory->entryCount = entriesTotal;
  size_t commentLength = GetLe16(zip, at + 20);
  comment->assign(zip.begin() + at + kEndRecordSize, zip.begin() + at + kEndRecordSize + commentLength);
  return true;
}

// An extra field is a run of (id, length, data) blocks filling it exactly.
bool IsWellFormedExtra(const Bytes& extra) {
  size_t at = 0;
  while (at < extra.size()) {
    if (!FitsIn(extra.size(), at, 4)) return false;
    size_t length = GetLe16(extra, at + 2);
    if (!FitsIn(extra.size(), at + 4, length)) return false;
    at += 4 + length;
  }
  return true;
}

bool HasZip64Extra(const Bytes& extra) {
  for (size_t at = 0; FitsIn(extra.size(), at, 4); at += 4 + GetLe16(extra, at + 2)) {
    if (GetLe16(extra, at) == kZip64ExtraId) return true;
  }
  return false;
}

// Malformed extra fields carry nothing the stub needs, but some zip tools
// stop at them, so they are dropped rather than copied.
Bytes CopyExtra(const Bytes& zip, size_t at, size_t length, bool* zip64) {
  Bytes extra(zip.begin() + at, zip.begin() + at + length);
  if (!IsWellFormedExtra(extra)) return Bytes();
  if (HasZip64Extra(extra)) *zip64 = true;
  return extra;
}

bool ReadCentralRecord(const Bytes& zip, const CentralDirectory& directory, size_t* at,
                       ZipEntry* entry, uint32_t* localOffset, std::string* error) {
  size_t pos = *at;
  if (!FitsIn(directory.end, pos, kCentralHeaderSize) || GetLe32(zip, pos) != kCentralHeaderSignature)
    return Damaged(error, "the central directory holds fewer records than the end record counts");
  size_t nameLength = GetLe16(zip, pos + 28);
  size_t extraLength = GetLe16(zip, pos + 30);
  size_t commentLength = GetLe16(zip, pos + 32);
  if (!FitsIn(directory.end, pos + kCentralHeaderSize, nameLength + extraLength + commentLength))
    return Damaged(error, "a central directory record runs past the directory");
  entry->versionMadeBy = GetLe16(zip, pos + 4);
  entry->versionNeeded = GetLe16(zip, pos + 6);
  entry->flags = GetLe16(zip, pos + 8);
  entry->method = GetLe16(zip, pos + 10);
  entry->time = GetLe16(zip, pos + 12);
  entry->date = GetLe16(zip, pos + 14);
  entry->crc = GetLe32(zip, pos + 16);
  entry->compressedSize = GetLe32(zip, pos + 20);
  entry->uncompressedSize = GetLe32(zip, pos + 24);
  uint16_t diskStart = GetLe16(zip, pos + 34);
  entry->internalAttributes = GetLe16(zip, pos + 36);
  entry->externalAttributes = GetLe32(zip, pos + 38);
  *localOffset = GetLe32(zip, pos + 42);
  size_t namePos = pos + kCentralHeaderSize;
  entry->name.assign(zip.begin() + namePos, zip.begin() + namePos + nameLength);
  bool zip64 = entry->compressedSize == kZip64Marker32 ||
               entry->uncompressedSize == kZip64Marker32 || *localOffset == kZip64Marker32;
  entry->centralExtra = CopyExtra(zip, namePos + nameLength, extraLength, &zip64);
  size_t commentPos = namePos + nameLength + extraLength;
  entry->comment.assign(zip.begin() + commentPos, zip.begin() + commentPos + commentLength);
  if (zip64) return Refuse(error, "ZIP64 archives are not supported (" + EntryLabel(*entry) + ")");
  if (diskStart != 0) return Refuse(error, "split or spanned archives are not supported");
  *at = commentPos + commentLength;
  return true;
}

// The local header must describe the same entry as its central record; the
// data must lie between it and the central directory.
bool ReadLocalRecord(const Bytes& zip, const CentralDirectory& directory, uint32_t localOffset,
                     ZipEntry* entry, std::string* error) {
  std::string label = EntryLabel(*entry);
  if (localOffset > directory.start - directory.shift)
    return Damaged(error, "the local header of " + label + " lies outside the archive");
  size_t pos = localOffset + directory.shift;
  if (!FitsIn(directory.start, pos, kLocalHeaderSize) || GetLe32(zip, pos) != kLocalHeaderSignature)
    return Damaged(error, "no local header where the central directory places " + label);
  uint16_t flags = GetLe16(zip, pos + 6);
  uint16_t method = GetLe16(zip, pos + 8);
  size_t nameLength = GetLe16(zip, pos + 26);
  size_t extraLength = GetLe16(zip, pos + 28);
  if (!FitsIn(directory.start, pos + kLocalHeaderSize, nameLength + extraLength))
    return Damaged(error, "the local header of " + label + " runs past the archive");
  size_t namePos = pos + kLocalHeaderSize;
  std::string localName(zip.begin() + namePos, zip.begin() + namePos + nameLength);
  if (localName != entry->name || method != entry->method ||
      (flags & kZipFlagEncrypted) != (entry->flags & kZipFlagEncrypted))
    return Damaged(error, "the local header of " + label + " differs from its central record");
  bool zip64 = GetLe32(zip, pos + 18) == kZip64Marker32 || GetLe32(zip, pos + 22) == kZip64Marker32;
  entry->localExtra = CopyExtra(zip, namePos + nameLength, extraLength, &zip64);
  if (zip64) return Refuse(error, "ZIP64 archives are not supported (" + label + ")");
  entry->localHeaderOffset = pos;
  entry->dataOffset = namePos + nameLength + extraLength;
  if (!FitsIn(directory.start, entry->dataOffset, entry->compressedSize))
    return Damaged(error, "the data of " + label + " runs past the archive");
  return true;
}

// Each entry's local header and data lie apart from every other entry's.
// Records that share data let a tiny archive stand for any number of large
// entries, each of which would be decoded to be checked.
bool RecordsAreApart(const ZipArchive& archive, std::string* error) {
  std::vector<const ZipEntry*> byOffset;
  for (const ZipEntry& entry : archive.entries) byOffset.push_back(&entry);
  std::stable_sort(byOffset.begin(), byOffset.end(), [](const ZipEntry* a, const ZipEntry* b) {
    return a->localHeaderOffset < b->localHeaderOffset;
  });
  for (size_t i = 1; i < byOffset.size(); ++i) {
    const ZipEntry& before = *byOffset[i - 1];
    const ZipEntry& after = *byOffset[i];
    if (before.localHeaderOffset == after.localHeaderOffset)
      return Damaged(error, EntryLabel(before) + " and " + EntryLabel(after) + " share one local header");
    if (before.dataOffset + before.compressedSize > after.localHeaderOffset)
      return Damaged(error, "the data of " + EntryLabel(before) + " runs into " + EntryLabel(after));
  }
  return true;
}

}  // namespace

bool ReadZipArchive(const Bytes& zip, ZipArchive* archive, std::string* error) {
  CentralDirectory directory;
  if (!ReadEndRecord(zip, &directory, &archive->comment, error)) return false;
  archive->entries.assign(directory.entryCount, ZipEntry());
  size_t at = directory.start;
  for (ZipEntry& entry : archive->entries) {
    uint32_t localOffset = 0;
    if (!ReadCentralRecord(zip, directory, &at, &entry, &localOffset, error)) return false;
    if (!ReadLocalRecord(zip, directory, localOffset, &entry, error)) return false;
  }
  if (at != directory.end)
    return Damaged(error, "the central directory holds more than the end record counts");
  return RecordsAreApart(*archive, error);
}
