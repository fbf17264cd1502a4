// What the stub can unpack, checked before anything is written: names it
// accepts and Windows can create, methods it decodes, no two entries landing
// on the same file, and entry data that really decodes to what the central
// directory promises.
#pragma once

#include <string>
#include <vector>

#include "tools/mksfx/zip_archive.h"

// False with one line added to `problems` for each fault found, naming the
// entries: every name, method, size and clash fault at once; the entries'
// data is decoded and checked only when there is none of those. `input` is
// the buffer the entries' data offsets point into.
bool CheckEntries(const Bytes& input, const ZipArchive& archive, std::vector<std::string>* problems);
