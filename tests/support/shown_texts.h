// The texts the user sees, spelt out as the tests expect them: written here
// by hand rather than taken from the stub's table, so that a changed message
// fails the tests that show it.
#pragma once

inline constexpr char kCaption[] = "Arcula Self-Extractor";
inline constexpr char kHeaderCorrupt[] =
    "Arcula Self-Extractor header corrupt.  Possible cause:  bad disk or file transfer error";
inline constexpr char kDamaged[] =
    "Zip file is damaged, truncated, or has been changed since it was created.   If you downloaded this file, try "
    "downloading again.";
inline constexpr char kInvalidHeader[] = "Invalid ZIP header.  Possible cause: file transfer error.";
inline constexpr char kIoError[] = "I/O error on file.  Possible cause: file transfer error.";
