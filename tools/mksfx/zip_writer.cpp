#include "tools/mksfx/zip_writer.h"

namespace {

bool KeepsDescriptor(const ZipEntry& entry) {
  return entry.IsEncrypted() && (entry.flags & kZipFlagDescriptor) != 0;
}

uint16_t WrittenFlags(const ZipEntry& entry) {
  return KeepsDescriptor(entry) ? entry.flags : static_cast<uint16_t>(entry.flags & ~kZipFlagDescriptor);
}

uint64_t LocalRecordSize(const ZipEntry& entry) {
  return kLocalHeaderSize + entry.name.size() + entry.localExtra.size() + entry.compressedSize +
         (KeepsDescriptor(entry) ? kDescriptorSize : 0);
}

uint64_t CentralRecordSize(const ZipEntry& entry) {
  return kCentralHeaderSize + entry.name.size() + entry.centralExtra.size() + entry.comment.size();
}

void AppendText(Bytes* out, const std::string& text) {
  AppendBytes(out, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

// Version, flags, method, time, date, CRC and both sizes: the run of fields
// that local and central headers share.
void AppendCommonFields(Bytes* out, const ZipEntry& entry) {
  AppendLe16(out, entry.versionNeeded);
  AppendLe16(out, WrittenFlags(entry));
  AppendLe16(out, entry.method);
  AppendLe16(out, entry.time);
  AppendLe16(out, entry.date);
  AppendLe32(out, entry.crc);
  AppendLe32(out, entry.compressedSize);
  AppendLe32(out, entry.uncompressedSize);
}

void AppendLocalRecord(Bytes* out, const Bytes& input, const ZipEntry& entry) {
  AppendLe32(out, kLocalHeaderSignature);
  AppendCommonFields(out, entry);
  AppendLe16(out, static_cast<uint16_t>(entry.name.size()));
  AppendLe16(out, static_cast<uint16_t>(entry.localExtra.size()));
  AppendText(out, entry.name);
  AppendBytes(out, entry.localExtra.data(), entry.localExtra.size());
  AppendBytes(out, input.data() + entry.dataOffset, entry.compressedSize);
  if (KeepsDescriptor(entry)) {
    AppendLe32(out, kDescriptorSignature);
    AppendLe32(out, entry.crc);
    AppendLe32(out, entry.compressedSize);
    AppendLe32(out, entry.uncompressedSize);
  }
}

void AppendCentralRecord(Bytes* out, const ZipEntry& entry, VolumePlace local) {
  AppendLe32(out, kCentralHeaderSignature);
  AppendLe16(out, entry.versionMadeBy);
  AppendCommonFields(out, entry);
  AppendLe16(out, static_cast<uint16_t>(entry.name.size()));
  AppendLe16(out, static_cast<uint16_t>(entry.centralExtra.size()));
  AppendLe16(out, static_cast<uint16_t>(entry.comment.size()));
  AppendLe16(out, local.disk);  // disk number start
  AppendLe16(out, entry.internalAttributes);
  AppendLe32(out, entry.externalAttributes);
  AppendLe32(out, local.offset);
  AppendText(out, entry.name);
  AppendBytes(out, entry.centralExtra.data(), entry.centralExtra.size());
  AppendBytes(out, entry.comment.data(), entry.comment.size());
}

// Where the central directory lies and how much of it is on the last disk.
struct DirectoryPlace {
  VolumePlace start;
  VolumePlace end;  // of the end record
  uint16_t entriesOnLastDisk = 0;
  uint32_t size = 0;
};

void AppendEndRecord(Bytes* out, const ZipArchive& archive, const DirectoryPlace& directory, size_t padding) {
  uint16_t count = static_cast<uint16_t>(archive.entries.size());
  size_t commentLength = archive.comment.size() + padding;
  if (commentLength > 0xFFFF) commentLength = archive.comment.size();
  AppendLe32(out, kEndRecordSignature);
  AppendLe16(out, directory.end.disk);  // this disk
  AppendLe16(out, directory.start.disk);  // disk of the central directory
  AppendLe16(out, directory.entriesOnLastDisk);
  AppendLe16(out, count);
  AppendLe32(out, directory.size);
  AppendLe32(out, directory.start.offset);
  AppendLe16(out, static_cast<uint16_t>(commentLength));
  AppendBytes(out, archive.comment.data(), archive.comment.size());
  out->resize(out->size() + (commentLength - archive.comment.size()), 0);
}

// The records behind whatever `out` already holds from `start` on; `place`
// maps positions counted from `start`. Returns where the end record lands.
VolumePlace AppendRecords(const Bytes& input, const ZipArchive& archive, size_t start, const VolumeMap& place,
                          size_t padding, Bytes* out) {
  auto here = [&] { return place(out->size() - start); };
  std::vector<VolumePlace> locals;
  for (const ZipEntry& entry : archive.entries) {
    locals.push_back(here());
    AppendLocalRecord(out, input, entry);
  }
  DirectoryPlace directory;
  directory.start = here();
  size_t directoryStart = out->size();
  std::vector<VolumePlace> centrals;
  for (size_t i = 0; i < archive.entries.size(); ++i) {
    centrals.push_back(here());
    AppendCentralRecord(out, archive.entries[i], locals[i]);
  }
  directory.size = static_cast<uint32_t>(out->size() - directoryStart);
  directory.end = here();
  // The entries "on this disk": those whose central record starts there.
  for (const VolumePlace& central : centrals) directory.entriesOnLastDisk += central.disk == directory.end.disk;
  AppendEndRecord(out, archive, directory, padding);
  return directory.end;
}

}  // namespace

uint64_t FrontToBackArchiveSize(const ZipArchive& archive) {
  uint64_t size = kEndRecordSize + archive.comment.size();
  for (const ZipEntry& entry : archive.entries) size += LocalRecordSize(entry) + CentralRecordSize(entry);
  return size;
}

uint32_t WriteFrontToBackArchive(const Bytes& input, const ZipArchive& archive, uint32_t base,
                                 size_t padding, Bytes* out) {
  size_t start = out->size();
  out->reserve(start + FrontToBackArchiveSize(archive));
  VolumeMap inOneFile = [base](uint64_t position) {
    VolumePlace place;
    place.offset = static_cast<uint32_t>(base + position);
    return place;
  };
  return AppendRecords(input, archive, start, inOneFile, padding, out).offset;
}

uint64_t SpannedArchiveSize(const ZipArchive& archive) { return 4 + FrontToBackArchiveSize(archive); }

void WriteSpannedArchive(const Bytes& input, const ZipArchive& archive, const VolumeMap& place, Bytes* out) {
  size_t start = out->size();
  out->reserve(start + SpannedArchiveSize(archive));
  AppendLe32(out, kDescriptorSignature);  // the spanning signature opens the first volume
  AppendRecords(input, archive, start, place, 0, out);
}
