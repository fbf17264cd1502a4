// Reads any ordinary single-volume ZIP archive through its central directory.
//
// The input may come from a hostile source: every offset and length is
// checked against the buffer before it is used, and anything the parser
// cannot make sense of ends in a message rather than a guess.
#pragma once

#include <string>

#include "tools/mksfx/zip_archive.h"

// Fills `archive` from the whole ZIP file in `zip`. Refuses ZIP64, split and
// spanned archives and damaged records. False with `error` set on refusal.
bool ReadZipArchive(const Bytes& zip, ZipArchive* archive, std::string* error);
