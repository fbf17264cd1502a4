#include "stub/settings.h"

#include "platform/bytes.h"

// The marker is spelt out once, here, as the block's initial bytes. Nothing
// else in the stub may hold these 8 bytes in a row: the builder and the
// self-check take the first occurrence in the file as the block.
__attribute__((used)) StubSettings g_settings = {
    {'Q', 'J', 'V', 0x01, 's', 'f', 'x', 0x02},
    0, 0, 0, 0, 0, 0, {0}, 0, {0}, {0}, {0}};

uint32_t ExpectedEntryPoint() { return ReadLe32(g_settings.expectedEntry); }

void ResetSettings() {
  uint8_t* fields = reinterpret_cast<uint8_t*>(&g_settings) + kSettingsMarkerLength;
  FillBytes(fields, 0, sizeof(g_settings) - kSettingsMarkerLength);
}
