// The stub's messages: their numbers, named once for every user, and the
// lookup of a message's text in the unpacked string table. The texts
// themselves are in base/messages.py; start-up unpacks the table
// (ui/resources.h).
#pragma once

#include "platform/types.h"

// Messages 0..52; kMessageMainDialog (53) is the main dialog template; the
// later messages, from 54, lie behind it in the table.
const int kMessageCount = 53;
const int kLaterMessageCount = 4;
const int kMessageTableEntries = kMessageCount + 1 + kLaterMessageCount;

const int kMessageIncomplete = 0;         // "This is an incomplete self-extractor;..."
const int kMessageInsertDisk = 1;         // "Please insert disk %d in drive %s."
const int kMessageInsertLastDisk = 2;     // "Please insert last disk of set in drive %s."
const int kMessageNoDisk = 3;
const int kMessageWrongDisk = 4;          // "The disk in the drive appears to be..."
const int kMessageNoPassword = 5;         // "No password specified"
const int kMessageWrongPassword = 6;      // "Incorrect password specified"
const int kMessageNoAutoOption = 7;       // "NOAUTO"
const int kMessageSetup = 8;              // "Setup"
const int kMessageAutoOption = 9;         // "AUTO"
const int kMessageNeedsWin32 = 10;
const int kMessageAbortQuestion = 11;     // "Abort unzip operation?"
const int kMessageUnzipAborted = 13;      // "Unzip Aborted"
const int kMessageOverwrite = 16;         // "File %s already exists.  Overwrite file?"
const int kMessageNoFolder = 17;          // "No folder specified."
const int kMessageUnzipped = 21;          // "%d file(s) unzipped successfully"
const int kMessageIntroductionShort = 22;
const int kMessageUnsafeName = 26;        // refuses an entry name that leaves the target folder
const int kMessageNoArchiver = 27;
const int kMessageCannotCreate = 28;      // "Can't create output file: %s"
const int kMessageUnsupportedMethod = 29; // "Unsupported compression method"
const int kMessageBadCrc = 30;            // "ZIP damaged: file %s: Bad CRC %08lx (should be %08lx)..."
const int kMessageInvalidHeader = 31;     // "Invalid ZIP header.  Possible cause: file transfer error."
const int kMessageFolderFailed = 32;      // "Could not create "%s" - unzip operation cancelled."
const int kMessageBadCommandFolder = 33;  // "Error in folder name specfied on the command line."
const int kMessageUnzipping = 34;         // "Unzipping %s"
const int kMessageWriteError = 35;        // "Error writing to %s.  Possible cause: disk full."
const int kMessageReadError = 36;         // "Error reading %s.  Possible cause: ..."
const int kMessageIoError = 37;           // "I/O error on file.  Possible cause: file transfer error."
const int kMessageIntroduction = 38;
const int kMessageDamaged = 39;           // "Zip file is damaged, truncated, or has been changed..."
const int kMessageHelp = 40;
const int kMessageAbout = 43;
const int kMessageAboutShort = 44;
const int kMessageInvalidDrive = 45;      // "Drive %s is not a valid drive, unzip operation cancelled."
const int kMessageNoProgram = 46;
const int kMessageTmpVariable = 47;       // "TMP="
const int kMessageBrowseTitle = 48;       // "Unzip to Folder:"
const int kMessageTempFolder = 49;        // "TEMP"
const int kMessageNameTooLong = 50;       // "Zip contains filenames longer than are allowed by..."
const int kMessageThisFile = 51;          // "this self-extractor file"
const int kMessageLink = 52;              // "... will not unzip through %s: it is a link, ..."
const int kMessageMainDialog = 53;        // the main dialog template
const int kMessageUnknownSwitch = 54;     // "%s is not a switch of this self-extractor..."
const int kMessageArchiverTooLong = 55;   // "Arcula cannot be started: ... too long for its command."
const int kMessageLogRefused = 56;        // "... will not write the log %s: it is a folder or a link."
const int kMessageLogFailed = 57;         // "Cannot write the log %s."

// --- Process-wide state of the message table (FreeResources puts it back) ---

// The unpacked string table; null before it is unpacked and after FreeResources.
extern char* g_stringTableBlock;

// Message `number` (0..kMessageTableEntries - 1; kMessageMainDialog is the template): a pure
// lookup, with no range check, since callers pass constants. Empty while no
// table is unpacked.
const char* MessageText(int number);

// Frees the string table block; nothing happens when there is none.
void FreeResources();
