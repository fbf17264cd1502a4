// The builder's command line:
//
//   arcula-mksfx [options] INPUT OUTPUT.exe
//   arcula-mksfx --span SIZE [--span-names exe|zip] [--force] [options] INPUT DIR/NAME.EXE
//   arcula-mksfx [--json] --show FILE.exe
//   arcula-mksfx --version | --help
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/mksfx/self_extractor.h"
#include "tools/mksfx/spanned_set.h"

struct BuildOptions {
  std::string input;   // a ZIP file or a folder
  std::string output;
  std::string stub;    // empty: the stub of `arch` beside the builder
  std::string arch;    // "x86" or "x64"; empty: not given (x86, or --stub's own)
  std::string password;
  std::string encryption;   // "aes256" (the default with a password) or "zipcrypto"; empty: not given
  std::string nameCharset;  // the code page of unflagged names in a ZIP INPUT; empty: kept as stored
  std::string show;         // a built file to describe instead of building one
  ConfigTexts texts;
  uint32_t flags = 0;  // settings block flag bits chosen by options
  SpanOptions span;    // diskSize 0: one file
  bool spanNamesGiven = false;
  bool promptButtonsGiven = false;
  bool force = false;        // clear an older set's disk folders
  bool followLinks = false;  // follow links that stay inside a folder INPUT
  bool clampTimes = false;   // SOURCE_DATE_EPOCH is set: no time written is later than latestTime
  int64_t latestTime = 0;
  bool selfCheck = true;
  bool fullSelfCheck = false;  // the self-check covers the headers too
  bool list = false;
  bool json = false;
  bool quiet = false;
  bool help = false;
  bool version = false;
};

// Fills `options` from argv. False with `error` set on a usage error.
// Unless --full-selfcheck is given, the self-check leaves the headers out
// (settings flag 0x800), so that signing the file afterwards is safe.
bool ParseOptions(int argc, char** argv, BuildOptions* options, std::string* error);

// Reads SOURCE_DATE_EPOCH, the time a reproducible build stamps at the most
// (seconds since 1970, in UTC). False with `error` set when it is set but
// not such a number.
bool ReadSourceDateEpoch(BuildOptions* options, std::string* error);

const char* UsageText();

// Warnings about options that work but may not do what was meant: "--auto"
// without "--overwrite" can stop to ask about an existing file.
std::vector<std::string> OptionWarnings(const BuildOptions& options);
