#include "archive/entry.h"

LocalHeader g_localHeader;
char g_nameBuffer[kNameBufferSize];
int g_encryptionFlag;
int g_dataDescriptorFlag;

void TakeEntryFlags() {
  g_encryptionFlag = (g_localHeader.flags & kEntryFlagEncrypted) != 0 ? 1 : 0;
  g_dataDescriptorFlag = (g_localHeader.flags & kEntryFlagDataDescriptor) != 0 ? 1 : 0;
}
