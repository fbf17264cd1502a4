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

void AppendCentralRecord(Bytes* out, const ZipEntry& entry, uint32_t localOffset) {
  AppendLe32(out, kCentralHeaderSignature);
  AppendLe16(out, entry.versionMadeBy);
  AppendCommonFields(out, entry);
  AppendLe16(out, static_cast<uint16_t>(entry.name.size()));
  AppendLe16(out, static_cast<uint16_t>(entry.centralExtra.size()));
  AppendLe16(out, static_cast<uint16_t>(entry.comment.size()));
  AppendLe16(out, 0);  // disk number start
  AppendLe16(out, entry.internalAttributes);
  AppendLe32(out, entry.externalAttributes);
  AppendLe32(out, localOffset);
  AppendText(out, entry.name);
  AppendBytes(out, entry.centralExtra.data(), entry.centralExtra.size());
  AppendBytes(out, entry.comment.data(), entry.comment.size());
}

void AppendEndRecord(Bytes* out, const ZipArchive& archive, uint32_t directorySize,
                     uint32_t directoryOffset, size_t padding) {
  uint16_t count = static_cast<uint16_t>(archive.entries.size());
  size_t commentLength = archive.comment.size() + padding;
  if (commentLength > 0xFFFF) commentLength = archive.comment.size();
  AppendLe32(out, kEndRecordSignature);
  AppendLe16(out, 0);  // this disk
  AppendLe16(out, 0);  // disk of the central directory
  AppendLe16(out, count);
  AppendLe16(out, count);
  AppendLe32(out, directorySize);
  AppendLe32(out, directoryOffset);
  AppendLe16(out, static_cast<uint16_t>(commentLength));
  AppendBytes(out, archive.comment.data(), archive.comment.size());
  out->resize(out->size() + (commentLength - archive.comment.size()), 0);
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
  std::vector<uint32_t> localOffsets;
  for (const ZipEntry& entry : archive.entries) {
    localOffsets.push_back(static_cast<uint32_t>(base + (out->size() - start)));
    AppendLocalRecord(out, input, entry);
  }
  uint32_t directoryOffset = static_cast<uint32_t>(base + (out->size() - start));
  for (size_t i = 0; i < archive.entries.size(); ++i)
    AppendCentralRecord(out, archive.entries[i], localOffsets[i]);
  uint32_t endRecordOffset = static_cast<uint32_t>(base + (out->size() - start));
  AppendEndRecord(out, archive, endRecordOffset - directoryOffset, directoryOffset, padding);
  return endRecordOffset;
}
