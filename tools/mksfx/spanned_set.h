// Spanned sets: the archive cut into volumes for removable disks, which the
// self-extractor tells apart by their labels ("PKBACK# 001", ...).
//
// The archive opens with the spanning signature and is cut every `diskSize`
// bytes wherever that falls (inside a header, a name, entry data). What
// counts against a disk's size is everything on it, so on disk 1 the
// self-extractor itself takes its share:
//
//   .EXE names  disk 1: NAME.EXE = stub, config block, first part of the
//                       archive; later disks: NAME.EXE = the next part.
//                       Disk 1's file is cut at the last multiple of the file
//                       alignment (512) that fits, so that it stays a
//                       well-formed Windows program.
//   .ZIP names  disk 1: NAME.EXE = stub and config block only, beside
//                       NAME.ZIP = first part; later disks: NAME.ZIP.
//
// The central directory and end record carry the disk numbers and volume
// offsets of a spanned ZIP archive; the self-extractor itself stops at the
// first central header.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/mksfx/self_extractor.h"

struct SpanOptions {
  uint64_t diskSize = 0;  // 0: one self-extractor file, no set
  bool exeNames = true;   // volumes named .EXE (else .ZIP)
};

// One file on one disk of the set.
struct DiskFile {
  std::string name;
  Bytes bytes;
};

struct SetDisk {
  std::string label;  // the volume label the disk must carry
  std::vector<DiskFile> files;
};

// The disks a label can number: "PKBACK# 999" fills a FAT label's 11 bytes.
const size_t kMaxDisks = 999;

// The file name stem of the set's files: `output`'s file name without its
// extension; the files are the stem with ".EXE" and ".ZIP", the names the
// self-extractor forms when it reopens its volumes.
std::string SetFileStem(const std::string& output);

// Builds the whole set in memory. False with `error` set when disk 1 has no
// room for the self-extractor and a first part of the archive, or the set
// would need more than kMaxDisks disks.
bool BuildSpannedSet(const Bytes& stub, const StubLayout& layout, const Bytes& config, const Bytes& input,
                     const ZipArchive& archive, uint32_t flags, bool selfCheck, const SpanOptions& span,
                     const std::string& stem, std::vector<SetDisk>* disks, SettingsValues* values,
                     std::string* error);

// The disk folders of an older set that `folder` holds: folders named
// "disk" and a number, in any case (a set copied to a disk that ignores case
// would mix with them), sorted by number.
std::vector<std::string> ExistingDiskFolders(const std::string& folder);

// The files --force may remove from those folders: only what the builder
// writes into a disk folder, the volume files of one set (STEM.EXE, and
// STEM.ZIP, for some one STEM). False with `error` naming the folder when
// one holds anything else, or is a link; such a folder may hold someone's
// files, and is never cleared.
bool ListOlderSetFiles(const std::string& folder, const std::vector<std::string>& names,
                       std::vector<std::string>* files, std::string* error);

// Removes those files, then the emptied folders. False with `error` set,
// and nothing removed, when ListOlderSetFiles refuses; false with `error`
// set when a file or folder cannot be removed.
bool RemoveOlderSet(const std::string& folder, const std::vector<std::string>& names, std::string* error);

// Writes disk N's files into `folder`/diskN/ (created when missing). On a
// failure the files written so far are removed again.
bool WriteSpannedSet(const std::string& folder, const std::vector<SetDisk>& disks, std::string* error);
