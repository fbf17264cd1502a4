// The process exit codes: scripts and deployment tools that run a
// self-extractor unattended tell by them what happened, so each case a script
// would handle differently has a code of its own. The README's table lists
// them; the log's last line names the code and its meaning.
#pragma once

const int kExitSuccess = 0;      // the files were unzipped (or -info was shown, or the archiver opened)
const int kExitFailure = 1;      // anything else that stopped the run: a damaged file, a refused name or link, a refused log
const int kExitBadUsage = 2;     // the command line is wrong: an unknown switch, a folder that cannot be taken
const int kExitCancelled = 3;    // the person cancelled or declined (a question, the abort, the start-up prompt, the dialog)
const int kExitPassword = 4;     // no password, or a wrong one
const int kExitFileExists = 5;   // an existing file stopped a silent run: nothing was overwritten
const int kExitReadWrite = 6;    // the archive could not be read, or a file, a folder or the log not written
const int kExitCodeCount = 7;
