// What the builder prints on standard output: the summary of a build, the
// entry list, the disks of a set, and the description of a built file;
// as lines for a person, or with --json as one JSON document for a pipeline.
//
// Names are bytes; text output shows them escaped (PrintableName), JSON as
// strings with every byte that is not UTF-8 read as U+FFFD, plus, for such
// a string only, a field of the same key and "_hex" ("name_hex",
// "output_hex", "file_hex", "title_hex", ...) holding the bytes as stored.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/mksfx/built_file.h"
#include "tools/mksfx/spanned_set.h"
#include "tools/mksfx/zip_archive.h"

struct BuildReport {
  std::string output;  // the self-extractor, as the user named it (disk 1's file for a set)
  const ZipArchive* archive = nullptr;
  StubArch arch = StubArch::kX86;  // the processor of the stub that went in
  uint64_t bytes = 0;  // the self-extractor's size, or that of all the set's files
  const std::vector<SetDisk>* disks = nullptr;  // null for one file
  bool list = false;   // with the entries
  bool summary = true;  // as text: the disks and the summary line (--quiet leaves them out)
};

void PrintBuildReport(const BuildReport& report, bool json);

// One error of a failed run: what it is about (a path; empty when the text
// names what it is about, or nothing does) and what is wrong.
struct Problem {
  std::string subject;
  std::string text;
};

// The document of a failed run: `key` ("output", or "file" for --show) with
// `path`, and the problems.
void PrintProblemsJson(const std::string& key, const std::string& path, const std::vector<Problem>& problems);

void PrintBuiltFile(const std::string& path, const BuiltFile& built, bool json);

// `text` as a JSON string, quotes included.
std::string JsonString(const std::string& text);
