// Host-only: everything the host side of the platform keeps between calls
// (scripted answers, mapped drives, environment overrides, watchers) back to
// how a fresh process finds it.
#pragma once

void HostResetPlatform();
