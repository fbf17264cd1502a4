// What the stub can unpack, checked before anything is written: names it
// accepts, methods it decodes, no two entries landing on the same file, and
// entry data that really decodes to what the central directory promises.
#pragma once

#include <string>

#include "tools/mksfx/zip_archive.h"

// False with `error` naming the first entry that would fail in the stub.
// `input` is the buffer the entries' data offsets point into.
bool CheckEntries(const Bytes& input, const ZipArchive& archive, std::string* error);
