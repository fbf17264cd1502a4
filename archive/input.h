// The archive input: the archive handle, the input buffer that entry data
// passes through (decrypted in place when the entry is encrypted), and
// memory mode, in which the same byte source serves a block held in memory.
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
extern FileHandle g_archive;             // the executable, or the current volume; 0 = none
extern const uint8_t* g_inputCursor;     // next byte to hand out
extern int32_t g_inputCount;             // bytes left at the cursor
extern uint32_t g_remainingCompressed;   // entry data not yet read from the archive
extern bool g_inputMemoryMode;            // True while a block in memory is the whole input

// Closes the archive and clears the input's state.
void ResetArchiveInput();

// Refills the input buffer from the archive: the number of bytes now at the
// cursor, 0 at the end of the entry data (and always 0 in memory mode).
int32_t RefillInput();

// Stores the next byte, zero-extended, in *cell and returns 8; at the end of
// the data returns 0 and leaves *cell as it was. This form works on a cursor
// and count the caller holds: the decoder keeps copies of the two in
// registers over a block (its window stores would otherwise force a reload
// of the globals for every byte) and stores them back when the block ends.
inline int ReadInputByteFrom(const uint8_t** cursor, int32_t* count, uint16_t* cell) {
  if (*count <= 0) {
    int32_t available = RefillInput();
    if (available <= 0) return 0;
    *count = available;
    *cursor = g_inputCursor;
  }
  *cell = **cursor;
  ++*cursor;
  --*count;
  return 8;
}

inline int ReadInputByte(uint16_t* cell) { return ReadInputByteFrom(&g_inputCursor, &g_inputCount, cell); }

// Points the byte source at a block in memory: its end is the end of input,
// and the archive is never read while memory mode is on.
void BeginMemoryInput(const void* block, uint32_t length);
void EndMemoryInput();

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
bool CheckPassword();
