// Writes an archive that the stub can read strictly front to back.
//
// The stub takes sizes and CRC from each local header and never looks at the
// central directory, so every local header gets the real values. Entry data
// is copied byte for byte. A data descriptor (with its signature, 16 bytes)
// is kept only on encrypted entries that had one: their encryption header's
// check byte was made from the time field because of that flag, so the flag
// must stay. Offsets in the central directory and end record count from the
// start of the self-extractor file, so ordinary zip tools open it as is.
//
// The zero bytes that pad the file behind the archive are counted as part of
// the archive comment (when it has room), so zip tools that warn about data
// behind an archive see none.
#pragma once

#include <cstdint>
#include <functional>

#include "tools/mksfx/zip_archive.h"

// The archive's exact size once written, without padding.
uint64_t FrontToBackArchiveSize(const ZipArchive& archive);

// Appends the archive to `out`; `base` is the file offset at which it will
// begin, `padding` the number of zero bytes the file will have behind it.
// Returns the file offset of the end record.
uint32_t WriteFrontToBackArchive(const Bytes& input, const ZipArchive& archive, uint32_t base,
                                 size_t padding, Bytes* out);

// Where a byte of a spanned archive lands: the disk (0 for the first) and
// its offset in the volume file on that disk.
struct VolumePlace {
  uint16_t disk = 0;
  uint32_t offset = 0;
};

// Maps a position in the spanned archive (counted from its first byte) to
// its place in the set.
using VolumeMap = std::function<VolumePlace(uint64_t position)>;

// The size of the spanned form: the spanning signature, then the archive.
uint64_t SpannedArchiveSize(const ZipArchive& archive);

// Appends the spanned form of the archive to `out`: the spanning signature
// first, then the same records, with the disk numbers and volume offsets the
// format asks for in the central directory and end record.
void WriteSpannedArchive(const Bytes& input, const ZipArchive& archive, const VolumeMap& place, Bytes* out);
