// How each entry's name is to be read: as UTF-8 or in a code page.
//
// The self-extractor reads a name as UTF-8 when the entry's general purpose
// bit 11 is set, and in the OEM code page of the Windows it runs on
// otherwise (the settings flag this builder sets says so). Writers say "UTF-8" in several ways, and the builder turns each
// of them into bit 11 before the names are checked, so that the checks see
// the names the self-extractor will create:
//
//   bit 11 set              kept; the name must be well-formed UTF-8
//   Unicode Path extra      (0x7075) its UTF-8 name replaces the stored one
//   field                   when its CRC-32 matches the stored name; the
//                           field is dropped from every entry, since it no
//                           longer describes the name that is written
//   made on Unix            Info-ZIP on Linux writes UTF-8 without the flag:
//                           a well-formed UTF-8 name gets bit 11
//   a folder INPUT          names are UTF-8 (checked when the folder is read)
//   a charset given         other non-ASCII names are converted from it
//   none of these           a non-ASCII name stays as stored, without bit 11
#pragma once

#include <string>
#include <vector>

#include "tools/mksfx/zip_archive.h"

struct NameReading {
  bool allUtf8 = false;  // every name is UTF-8 (the archive was zipped here)
  std::string charset;   // iconv's name for the code page of unmarked names; empty: none
};

// True when iconv can convert from `charset` to UTF-8.
bool IsKnownCharset(const std::string& charset);

// True when `charset` reads printable ASCII as itself. A ZIP name's
// separators and ASCII names are single ASCII bytes, which the builder keeps
// as they are; a charset such as UTF-16 or EBCDIC, where those bytes mean
// something else, cannot be the one the names were written in.
bool KeepsAsciiNames(const std::string& charset);

// Rewrites the names and flags of `archive` by the rules above. Adds to
// `unmarked` every non-ASCII name left without bit 11. False with one line
// in `problems` for each name that cannot be read: bit 11 on a name that is
// not UTF-8, or a name that is not text in the given charset.
bool SettleNames(const NameReading& reading, ZipArchive* archive, std::vector<std::string>* unmarked,
                 std::vector<std::string>* problems);
