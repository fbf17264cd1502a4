#include "archive/password_check.h"

#include "archive/aes.h"
#include "archive/decrypt.h"
#include "archive/entry.h"
#include "archive/input.h"
#include "archive/password.h"
#include "platform/bytes.h"
#include "platform/files.h"
#include "base/run_facts.h"
#include "base/settings.h"

namespace {

const uint32_t kSignatureSize = 4;
const uint32_t kDescriptorSize = 16;  // as the scanner skips it
const uint32_t kLargestOffset = 0x7FFFFFFF;

bool ReadAt(FileHandle file, uint32_t offset, void* buffer, uint32_t size) {
  if (offset > kLargestOffset) return false;
  int32_t at = static_cast<int32_t>(offset);
  return SysSeek(file, at, kSeekBegin) == at && SysRead(file, buffer, size) == static_cast<int32_t>(size);
}

PasswordVerdict CheckHeaderAt(FileHandle file, uint32_t offset, const LocalHeader& entry, const char* password) {
  uint8_t header[kEncryptionHeaderSize];
  if (!ReadAt(file, offset, header, kEncryptionHeaderSize)) return kPasswordUnknown;
  InitKeys(password);
  DecryptBuffer(header, kEncryptionHeaderSize);
  return header[kEncryptionHeaderSize - 1] == CheckByteOf(entry) ? kPasswordOpens : kPasswordWrong;
}

// An AES entry's verifier: its field is read from the extra field behind
// the name, its salt and verifier from the start of its data.
PasswordVerdict CheckAesEntryAt(FileHandle file, uint32_t extraOffset, const LocalHeader& entry, uint32_t data,
                                const char* password) {
  uint8_t extra[kAesExtraSearched];
  uint32_t searched = entry.extraLength < kAesExtraSearched ? entry.extraLength : kAesExtraSearched;
  AesField field;
  if (!ReadAt(file, extraOffset, extra, searched) || !FindAesField(extra, searched, &field)) return kPasswordUnknown;
  if (entry.compressedSize < AesOverheadBytes(field)) return kPasswordUnknown;
  uint8_t saltAndVerifier[kAesMaxSaltBytes + kAesVerifierBytes];
  if (!ReadAt(file, data, saltAndVerifier, AesSaltBytes(field) + kAesVerifierBytes)) return kPasswordUnknown;
  uint8_t derived[kAesMaxDerivedBytes];
  bool opens = false;
  bool derivable = DeriveAesKeys(password, field, saltAndVerifier, derived, &opens);
  FillBytes(derived, 0, sizeof derived);
  if (!derivable) return kPasswordUnknown;  // the pass says why
  return opens ? kPasswordOpens : kPasswordWrong;
}

PasswordVerdict CheckFirstEncryptedEntry(FileHandle file, const char* password) {
  uint64_t offset = g_settings.archiveOffset;
  for (;;) {
    uint8_t record[kSignatureSize + sizeof(LocalHeader)];
    if (offset > kLargestOffset || !ReadAt(file, static_cast<uint32_t>(offset), record, sizeof record)) {
      return kPasswordUnknown;
    }
    if (CompareBytes(record, g_signatures[kSignatureLocal], kSignatureSize) != 0) return kPasswordUnknown;
    LocalHeader entry;
    CopyBytes(&entry, record + kSignatureSize, sizeof entry);
    uint64_t data = offset + sizeof record + entry.nameLength + entry.extraLength;
    bool encrypted = (entry.flags & kEntryFlagEncrypted) != 0;
    if (encrypted && entry.method == kMethodAes && data <= kLargestOffset) {
      uint32_t extraOffset = static_cast<uint32_t>(data) - entry.extraLength;
      return CheckAesEntryAt(file, extraOffset, entry, static_cast<uint32_t>(data), password);
    }
    if (encrypted && entry.compressedSize >= kEncryptionHeaderSize && data <= kLargestOffset) {
      return CheckHeaderAt(file, static_cast<uint32_t>(data), entry, password);
    }
    bool descriptor = (entry.flags & kEntryFlagDataDescriptor) != 0;
    if (descriptor && entry.compressedSize == 0) return kPasswordUnknown;  // its end is not known ahead
    offset = data + entry.compressedSize + (descriptor ? kDescriptorSize : 0);
  }
}

}  // namespace

PasswordVerdict CheckPasswordAhead() {
  const char* password = StoredPassword();
  if (password == nullptr) return kPasswordMissing;
  // A spanned set's entries lie on disks the user would have to insert twice.
  if (g_spannedFlag) return kPasswordUnknown;
  FileHandle file = g_archiveInput.handle;
  int32_t resume = SysSeek(file, 0, kSeekCurrent);
  PasswordVerdict verdict = CheckFirstEncryptedEntry(file, password);
  if (resume >= 0) SysSeek(file, resume, kSeekBegin);
  return verdict;
}
