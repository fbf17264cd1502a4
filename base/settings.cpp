#include "base/settings.h"

#include "platform/bytes.h"

// The marker lies once in the stub, here, as the block's initial bytes.
// Nothing else in the stub may hold these 8 bytes in a row: the builder and
// the self-check take the first occurrence in the file as the block.
__attribute__((used)) StubSettings g_settings = {
    {kSettingsMarker[0], kSettingsMarker[1], kSettingsMarker[2], kSettingsMarker[3], kSettingsMarker[4],
     kSettingsMarker[5], kSettingsMarker[6], kSettingsMarker[7]},
    0, 0, 0, 0, 0, 0, {0}, 0, {0}, {0}, {0}};

uint32_t ExpectedEntryPoint() { return ReadLe32(g_settings.expectedEntry); }

void ResetSettings() {
  uint8_t* fields = reinterpret_cast<uint8_t*>(&g_settings) + kSettingsMarkerLength;
  FillBytes(fields, 0, sizeof(g_settings) - kSettingsMarkerLength);
}
