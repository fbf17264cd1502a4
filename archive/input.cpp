// The archive input. Record headers are read straight from the archive
// handle by the scanner; entry data comes through here, in blocks of up to
// kInputBufferSize bytes that never reach past the entry's data, so that when
// the last byte of an entry has been handed out the archive is positioned
// just behind it.
#include "archive/input.h"

#include "archive/aes.h"
#include "archive/decrypt.h"
#include "archive/entry.h"
#include "archive/password.h"
#include "archive/volumes.h"
#include "platform/bytes.h"
#include "platform/files.h"
#include "platform/format.h"
#include "base/abort.h"
#include "base/exit_codes.h"
#include "base/messages.h"
#include "base/run_facts.h"
#include "base/work_memory.h"

ArchiveInputState g_archiveInput;

void ResetArchiveInput() {
  if (g_archiveInput.handle > 0) SysClose(g_archiveInput.handle);
  g_archiveInput.handle = 0;
  g_archiveInput.remainingCompressed = 0;
}

int32_t RefillInput() {
  if (g_archiveInput.remainingCompressed == 0) return 0;
  uint32_t wanted = g_archiveInput.remainingCompressed < kInputBufferSize ? g_archiveInput.remainingCompressed
                                                                        : kInputBufferSize;
  int32_t got = SysRead(g_archiveInput.handle, g_inputBuffer, wanted);
  if (got != static_cast<int32_t>(wanted)) {
    if (!g_spannedFlag || got < 0) ReadError(kReadErrorRefill);
    // The volume ended: the rest of the entry is on the next disk. Bytes
    // already read are this refill's; with none, read again from the new
    // volume and take whatever arrives (0 ends the entry, and the CRC check
    // reports it).
    SwitchVolume(g_volumes.currentDisk + 1, g_exeVolumesFlag);
    if (got == 0) {
      got = SysRead(g_archiveInput.handle, g_inputBuffer, wanted);
      if (got < 0) ReadError(kReadErrorRefill);
      if (got == 0) g_archiveInput.remainingCompressed = 0;  // nothing more to ask the disks for
    }
  }
  g_archiveInput.remainingCompressed -= static_cast<uint32_t>(got);
  // The keys run on from one refill to the next within the entry.
  if (g_aesEntry.active) {
    AesDecrypt(g_inputBuffer, static_cast<uint32_t>(got));
  } else if (g_entry.encryptionFlag) {
    DecryptBuffer(g_inputBuffer, static_cast<uint32_t>(got));
  }
  return got;
}

void ReadExact(uint32_t length, void* buffer) {
  ReadArchivePart(buffer, length, kReadErrorName, kReadErrorName);
  static_cast<char*>(buffer)[length] = 0;
}

void ReadArchivePart(void* buffer, uint32_t size, int singleCode, int spannedCode) {
  int32_t got = SysRead(g_archiveInput.handle, buffer, size);
  if (got == static_cast<int32_t>(size)) return;
  if (!g_spannedFlag) ReadError(singleCode);
  if (got < 0) ReadError(spannedCode);  // a read that failed is no end of a volume
  // The volume ended inside the part (a writer may cut a volume anywhere):
  // the rest follows at the start of the next one. A volume that gives
  // nothing at all means the set has run out.
  uint32_t have = got > 0 ? static_cast<uint32_t>(got) : 0;
  while (have < size) {
    SwitchVolume(g_volumes.currentDisk + 1, g_exeVolumesFlag);
    got = SysRead(g_archiveInput.handle, static_cast<uint8_t*>(buffer) + have, size - have);
    if (got <= 0) ReadError(spannedCode);
    have += static_cast<uint32_t>(got);
  }
}

void SkipArchiveBytes(uint32_t count) {
  if (count == 0) return;
  if (!g_spannedFlag) {
    // 2 GiB or more lies past anything the 32-bit calls reach, and as their
    // signed offset it would seek backwards, possibly onto a record already
    // read, again and again: go to the end, where the next read comes short.
    if (count > 0x7FFFFFFF) {
      SysSeek(g_archiveInput.handle, 0, kSeekEnd);
    } else {
      SysSeek(g_archiveInput.handle, static_cast<int32_t>(count), kSeekCurrent);
    }
    return;
  }
  // A seek would run past the end of the volume; what lies beyond it is at
  // the start of the next volumes. The end is only looked for once the
  // position is known: the way back from the end is a seek to it.
  for (;;) {
    int32_t here = SysSeek(g_archiveInput.handle, 0, kSeekCurrent);
    int32_t end = here < 0 ? -1 : SysSeek(g_archiveInput.handle, 0, kSeekEnd);
    if (here < 0 || end < 0) {
      if (here >= 0) SysSeek(g_archiveInput.handle, here, kSeekBegin);
      SysSeek(g_archiveInput.handle, static_cast<int32_t>(count), kSeekCurrent);
      return;
    }
    uint32_t left = end > here ? static_cast<uint32_t>(end - here) : 0;
    if (count <= left) {
      // Checked, as every seek to a place is: left at the end of the volume,
      // the scan would go on at the start of the next one.
      int32_t target = static_cast<int32_t>(static_cast<uint32_t>(here) + count);
      if (SysSeek(g_archiveInput.handle, target, kSeekBegin) != target) FatalErrorWithExitCode(kExitReadWrite, MessageText(kMessageIoError));
      return;
    }
    count -= left;
    SwitchVolume(g_volumes.currentDisk + 1, g_exeVolumesFlag);
  }
}

void ReadError(int code) {
  char codeText[32];
  SysFormat(codeText, " <%d>", code);
  uint32_t length = static_cast<uint32_t>(SysFormat(g_formatBuffer, MessageText(kMessageReadError), g_executablePath));
  CopyText(g_formatBuffer + length, codeText, sizeof(g_formatBuffer) - length);
  FatalErrorWithExitCode(kExitReadWrite, g_formatBuffer);
}

void ReadEntryExtraField(uint32_t length) {
  g_aesEntry.active = false;
  if (!g_entry.encryptionFlag || g_entry.localHeader.method != kMethodAes) {
    SkipArchiveBytes(length);
    return;
  }
  uint8_t extra[kAesExtraSearched];
  uint32_t searched = length < kAesExtraSearched ? length : kAesExtraSearched;
  ReadArchivePart(extra, searched, kReadErrorLocalHeader, kReadErrorLocalHeaderSpanned);
  SkipArchiveBytes(length - searched);
  g_aesEntry.active = FindAesField(extra, searched, &g_aesEntry.field);
}

namespace {

// The AES counterpart of the encryption header: salt and verifier before the
// data, the code behind it, which the entry's end reads.
bool CheckAesPassword(const char* password) {
  const AesField& field = g_aesEntry.field;
  if (g_archiveInput.remainingCompressed < AesOverheadBytes(field)) FatalError(MessageText(kMessageInvalidHeader));
  uint8_t saltAndVerifier[kAesMaxSaltBytes + kAesVerifierBytes];
  ReadArchivePart(saltAndVerifier, AesSaltBytes(field) + kAesVerifierBytes, kReadErrorEncryptionHeader,
                  kReadErrorEncryptionHeader);
  g_archiveInput.remainingCompressed -= AesOverheadBytes(field);
  uint8_t derived[kAesMaxDerivedBytes];
  bool opens = false;
  // A system without the primitives cannot read such an entry at all.
  if (!DeriveAesKeys(password, field, saltAndVerifier, derived, &opens)) FatalError(MessageText(kMessageUnsupportedMethod));
  if (opens) StartAesDecryption(derived);
  FillBytes(derived, 0, sizeof derived);
  return opens;
}

}  // namespace

bool AesEntryAuthentic() {
  while (RefillInput() > 0) {
    // data the decoder left unread still counts for the code
  }
  uint8_t stored[kAesCodeBytes];
  ReadArchivePart(stored, kAesCodeBytes, kReadErrorRefill, kReadErrorRefill);
  return AesCodeMatches(stored);
}

bool CheckPassword() {
  const char* password = StoredPassword();
  if (password == nullptr) return false;
  // An encrypted entry of method 99 without a usable AES field is of a kind
  // this reader does not know.
  if (g_entry.localHeader.method == kMethodAes && !g_aesEntry.active) {
    FatalError(MessageText(kMessageUnsupportedMethod));
  }
  if (g_aesEntry.active) return CheckAesPassword(password);
  // Without this the count would wrap and the entry would read on into the
  // records behind it.
  if (g_archiveInput.remainingCompressed < kEncryptionHeaderSize) FatalError(MessageText(kMessageInvalidHeader));
  uint8_t header[kEncryptionHeaderSize];
  ReadArchivePart(header, kEncryptionHeaderSize, kReadErrorEncryptionHeader, kReadErrorEncryptionHeader);
  g_archiveInput.remainingCompressed -= kEncryptionHeaderSize;
  InitKeys(password);
  DecryptBuffer(header, kEncryptionHeaderSize);
  return header[kEncryptionHeaderSize - 1] == CheckByteOf(g_entry.localHeader);
}
