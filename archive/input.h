// The archive input: the archive handle and the input buffer that entry data
// passes through (decrypted in place when the entry is encrypted).
#pragma once

#include "platform/types.h"

// Read error codes passed to ReadError (appended to kMessageReadError as " <code>").
const int kReadErrorName = 1;
const int kReadErrorRefill = 2;
const int kReadErrorLocalHeaderSpanned = 3;
const int kReadErrorLocalHeader = 4;
const int kReadErrorCentralHeader = 6;
const int kReadErrorEndRecord = 7;
const int kReadErrorSignatureSpanned = 8;
const int kReadErrorSignature = 9;
const int kReadErrorEncryptionHeader = 14;

// --- Process-wide state of the archive input (ResetArchiveInput puts it back) ---
struct ArchiveInputState {
  FileHandle handle;             // the executable, or the current volume; 0 = none
  uint32_t remainingCompressed;  // entry data not yet read from the archive
};
extern ArchiveInputState g_archiveInput;

// Closes the archive and clears the input's state.
void ResetArchiveInput();

// Refills the input buffer (g_inputBuffer, base/work_memory.h) with the
// next entry data from the archive: the number of bytes now at its start, 0
// at the end of the entry data.
int32_t RefillInput();

// Reads exactly `length` bytes at the archive's position into `buffer` and
// stores a NUL behind them (the buffer holds length + 1); otherwise read
// error kReadErrorName.
void ReadExact(uint32_t length, void* buffer);

// Reads the `size` bytes of a record part at the archive's position, or ends
// in ReadError: `singleCode` when they are short in a single archive,
// `spannedCode` when a spanned set runs out of volumes. A volume may end
// anywhere, also inside a header or a name: the part is then completed from
// the start of the next volume, keeping the bytes read before.
void ReadArchivePart(void* buffer, uint32_t size, int singleCode, int spannedCode);

// Moves the archive position forward by `count` bytes. In a spanned set the
// move goes on to the next volumes when the current one ends first.
void SkipArchiveBytes(uint32_t count);

// kMessageReadError with the executable path and " <code>"; never returns.
[[noreturn]] void ReadError(int code);

// Reads and checks the encryption header of the current entry, which starts
// at the archive's position, and takes its 12 bytes off the remaining
// compressed count. True when the check byte matches (the keys are then ready
// for the entry's data); false when it does not, or at once, reading nothing,
// when no password has been entered. An entry too short to hold the header is
// malformed (kMessageInvalidHeader); a short read is kReadErrorEncryptionHeader. Both are fatal.
// Reads the current entry's extra field of `length` bytes at the archive's
// position, leaving the archive behind it, and sets g_aesEntry for the entry:
// active when it is encrypted and has an AES field.
void ReadEntryExtraField(uint32_t length);

// For an AES entry (archive/aes.h) the salt and verifier take this header's
// place, and the 10 bytes of the code behind the data are taken off the count
// too.
bool CheckPassword();

// At the end of an AES entry's data: reads what the decoder left of it (the
// code covers all of it), then the code behind it. True when they match.
bool AesEntryAuthentic();
