// How Windows reads and compares the bytes of a file name.
//
// The stub hands entry names to Windows as they stand, and Windows compares
// names without regard to case: for every UTF-16 unit it looks up one
// uppercase unit, so letters beyond ASCII fold too ("é" and "É" name one
// file), while letters outside the Basic Multilingual Plane, and letters
// whose uppercase is two letters ("ß"), stay as they are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Every `step`-th code point from `first` to `last` has the uppercase form
// code point + `delta`. Generated into upper_case_table.cpp by
// gen_upper_case.py; the runs are sorted and do not overlap.
struct UpperCaseRun {
  uint16_t first;
  uint16_t last;
  uint8_t step;
  int32_t delta;
};
extern const UpperCaseRun kUpperCaseRuns[];
extern const size_t kUpperCaseRunCount;

// The code point Windows puts in place of `code` when it compares names.
char32_t WindowsUpperCase(char32_t code);

// The length of the well-formed UTF-8 sequence that begins at `at` (1 for an
// ASCII byte), or 0 when none begins there. `at` lies inside `bytes`.
size_t Utf8SequenceAt(const std::string& bytes, size_t at);

// True when `bytes` is well-formed UTF-8: no stray or missing continuation
// bytes, no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsUtf8(const std::string& bytes);

// The code points of `bytes` read as UTF-8, which must be well-formed.
std::u32string DecodeUtf8(const std::string& bytes);

// The code points of `bytes` read in code page 437, the OEM code page of US
// Windows, in which DOS and Windows zip tools write names.
std::u32string DecodeCodePage437(const std::string& bytes);
