// The builder's command line:
//
//   arcula-mksfx [options] INPUT OUTPUT.exe
//   arcula-mksfx --span SIZE [--span-names exe|zip] [options] INPUT DIR/NAME.EXE
#pragma once

#include <cstdint>
#include <string>

#include "tools/mksfx/self_extractor.h"
#include "tools/mksfx/spanned_set.h"

struct BuildOptions {
  std::string input;   // a ZIP file or a folder
  std::string output;
  std::string stub;    // empty: arcula-sfx.exe beside the builder
  std::string password;
  std::string nameCharset;  // the code page of unflagged names in a ZIP INPUT; empty: kept as stored
  ConfigTexts texts;
  uint32_t flags = 0;  // settings block flag bits chosen by options
  SpanOptions span;    // diskSize 0: one file
  bool spanNamesGiven = false;
  bool selfCheck = true;
  bool list = false;
  bool help = false;
};

// Fills `options` from argv. False with `error` set on a usage error.
bool ParseOptions(int argc, char** argv, BuildOptions* options, std::string* error);

const char* UsageText();
