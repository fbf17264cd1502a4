// Zips a folder with libarchive: every file deflated, every folder (empty
// ones included) as a folder entry, modification times kept. With a password
// the files get the traditional ZIP encryption.
//
// libarchive writes a streaming archive (sizes after the data), which the
// stub cannot read; the result goes through the same rewriting as any ZIP.
#pragma once

#include <string>

#include "tools/mksfx/byte_order.h"

// Fills `zip` with the archive of everything under `folder` (the folder
// itself is not an entry). False with `error` set when something cannot be
// read or is neither a file nor a folder.
bool ArchiveFolder(const std::string& folder, const std::string& password, Bytes* zip,
                   std::string* error);
