// Zips a folder with libarchive: every file deflated (stored where deflate
// would not make it smaller), every folder (empty ones included) as a folder
// entry, modification times kept. With a password the files are encrypted
// afterwards (see entry_encryption.h).
//
// The folder is listed and checked before anything is zipped, so that what a
// self-extractor cannot hold is told in the terms of the folder (too many
// files, a file too large) and all at once.
//
// libarchive writes a streaming archive (sizes after the data), which the
// stub cannot read; the result goes through the same rewriting as any ZIP.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/mksfx/byte_order.h"

struct FolderInput {
  std::string folder;
  std::string password;
  bool zipCrypto = false;    // the traditional encryption instead of AES-256
  std::string output;        // the file being built: left out if it lies in the folder
  bool followLinks = false;  // links whose destination lies inside the folder go in as what they point to
  bool clampTimes = false;   // no modification time later than `latestTime` (SOURCE_DATE_EPOCH)
  int64_t latestTime = 0;
};

// Fills `zip` with the archive of everything under the folder (the folder
// itself is not an entry) except the output, and sets `*outputLeftOut` when
// the output was found there. False with one line in `problems` for each
// thing that keeps the folder out of a self-extractor: more than 65,534 files
// and folders, a file of 4 GiB or more or all of them together, a link (one
// that leaves the folder, points to nothing or makes a loop, when links are
// followed), a device, a name that is not UTF-8 or has a '\' (on Windows, a
// folder separator); or for the first thing that cannot be read.
bool ArchiveFolder(const FolderInput& input, Bytes* zip, bool* outputLeftOut, std::vector<std::string>* problems);
