#include "archive/entry.h"

#include "platform/bytes.h"

EntryState g_entry;

void TakeEntryFlags() {
  g_entry.encryptionFlag = (g_entry.localHeader.flags & kEntryFlagEncrypted) != 0;
  g_entry.dataDescriptorFlag = (g_entry.localHeader.flags & kEntryFlagDataDescriptor) != 0;
}

void ResetEntry() {
  FillBytes(&g_entry.localHeader, 0, sizeof(g_entry.localHeader));
  FillBytes(g_entry.nameBuffer, 0, sizeof(g_entry.nameBuffer));
  g_entry.encryptionFlag = false;
  g_entry.dataDescriptorFlag = false;
}

uint8_t CheckByteOf(const LocalHeader& header) {
  if ((header.flags & kEntryFlagDataDescriptor) != 0) return static_cast<uint8_t>(header.modTime >> 8);
  return static_cast<uint8_t>(header.crc32 >> 24);
}
