// What the stub can unpack, checked before anything is written: names it
// accepts and Windows can create, methods it decodes, no two entries landing
// on the same file, and entry data that really decodes to what the central
// directory promises.
#pragma once

#include <string>
#include <vector>

#include "tools/mksfx/zip_archive.h"

// The name and clash checks of CheckEntries alone, for entries not zipped
// yet: one line added to `problems` for each fault.
void CheckNames(const ZipArchive& archive, std::vector<std::string>* problems);

// False with one line added to `problems` for each fault found, naming the
// entries: every name, method, size and clash fault at once; the entries'
// data is decoded and checked only when `problems` holds nothing at all,
// from here or from before. `input` is the buffer the entries' data offsets
// point into.
// The method of an entry's data: for an AES entry, that of the data inside
// the encryption (its own method is 99).
uint16_t DataMethodOf(const ZipEntry& entry);

bool CheckEntries(const Bytes& input, const ZipArchive& archive, std::vector<std::string>* problems);

// One line for each entry whose name holds direction controls, which the
// self-extractor creates as they are but which can make "invoice\u202Efdp.exe"
// look like "invoiceexe.pdf" to the person who opens it. Not refused: a
// right-to-left script can need them.
std::vector<std::string> NameWarnings(const ZipArchive& archive);
