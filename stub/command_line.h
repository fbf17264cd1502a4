// The command line tail, read once at start-up.
//
// It is split into words the way Windows splits a program's arguments:
// blanks and tabs part words outside double quotes; a quote starts or ends
// a quoted part; 2n backslashes before a quote give n backslashes and the
// quote does its work, 2n+1 give n backslashes and a literal quote; "" inside
// quotes gives a literal quote and ends the quoted part; other backslashes
// are literal.
//
// A word is switch-like when it holds no quote and is '/' or '-' followed by
// at least one character. The switches, whole words in any case:
//   /auto [folder]    unattended, to the folder when one follows;
//   /silent [folder]  as /auto, with no window and no box at all;
//   /noauto           the dialog is shown, whatever else asks otherwise;
//   /overwrite        existing files are overwritten;
//   /password WORD    the password of an encrypted archive;
//   /log WORD         every message that would have been shown goes there;
//   -info             the info text (this one in lower case only).
// The folder behind /auto or /silent is one quoted word, or the unquoted
// words up to the next switch-like word, blanks between them kept as typed,
// so that /auto C:\My Files works without quotes. Any other switch-like word
// is an unknown switch, never part of a folder; any other word is ignored.
#pragma once

#include "paths/output_paths.h"
#include "platform/types.h"

// What the tail asks for beyond the script facts kept with the run's facts
// (silent, overwrite, password, log).
struct CommandLineRequest {
  bool autoSwitch;    // /auto or /silent
  bool noAutoSwitch;  // /noauto
  bool infoSwitch;    // -info
  bool folderGiven;   // a folder followed /auto or /silent: `folder` holds it
  bool folderRefused; // the folder given does not fit the target folder, or holds a stray quote
  char folder[kTargetFolderSize];
  // The first unknown switch, as typed, in the tail; null when there is none.
  const char* unknownSwitch;
  uint32_t unknownSwitchLength;
  // The last /password's word in the tail, so that the log can hide it; null when there is none.
  const char* passwordStart;
  const char* passwordEnd;
};

// Reads `tail` into `request` and into the run's script facts (g_silentMode,
// g_overwriteRequested, g_commandLinePassword, g_logPath). The tail is not
// changed; the unknown switch points into it. When a switch is given twice,
// the later one's value counts.
void ReadCommandLine(const char* tail, CommandLineRequest* request);

// The tail as the log shows it, into `text` (`size` bytes): the words as
// typed, from the first, with the password's word (when there is one)
// replaced by "*****", and a blank in front unless it is empty. A tail too
// long for `text` is cut, with "..." at its end.
void TailForLog(const char* tail, const CommandLineRequest& request, char* text, uint32_t size);
