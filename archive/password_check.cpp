#include "archive/password_check.h"

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
