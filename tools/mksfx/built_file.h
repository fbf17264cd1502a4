// Reads back a self-extractor that a builder made, for --show: its settings
// block, its config texts and the entries of its archive. The file may come
// from anywhere, so every offset is checked before it is used.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/mksfx/pe_image.h"
#include "tools/mksfx/self_extractor.h"
#include "tools/mksfx/zip_archive.h"

struct BuiltFile {
  uint64_t size = 0;
  bool knownArch = false;     // its PE headers are those of an x86 or x64 image
  StubArch arch = StubArch::kX86;
  uint16_t optionalHeaderSize = 0;
  SettingsValues settings;
  bool complete = false;      // the completeness word says a builder filled the block in
  bool imageCrcMatches = false;  // the self-check would pass (false when it is off)
  std::vector<std::string> texts;  // folder, text, prompt, title, info; empty without a config block
  bool hasEntries = false;    // false for disk 1 of a spanned set, whose directory is on the last disk
  ZipArchive archive;
};

// Reads the file at `path`. False with `error` set when it has no settings
// block, or its settings point outside it, or its archive cannot be read.
bool ReadBuiltFile(const std::string& path, BuiltFile* built, std::string* error);

// The names of the flag bits set in `flags`, in the builder's terms
// ("overwrite", "auto", "utf8-texts", ...); unknown bits as hex numbers.
std::vector<std::string> FlagNames(uint32_t flags);
