#include "archive/entry.h"

#include "platform/bytes.h"

LocalHeader g_localHeader;
char g_nameBuffer[kNameBufferSize];
bool g_encryptionFlag;
bool g_dataDescriptorFlag;

void TakeEntryFlags() {
  g_encryptionFlag = (g_localHeader.flags & kEntryFlagEncrypted) != 0;
  g_dataDescriptorFlag = (g_localHeader.flags & kEntryFlagDataDescriptor) != 0;
}

void ResetEntry() {
  FillBytes(&g_localHeader, 0, sizeof(g_localHeader));
  FillBytes(g_nameBuffer, 0, sizeof(g_nameBuffer));
  g_encryptionFlag = false;
  g_dataDescriptorFlag = false;
}
