#include "archive/password.h"

#include "base/settings.h"
#include "platform/bytes.h"
#include "platform/text.h"

PasswordState g_password;

bool StorePassword(const char* typed) {
  if ((g_settings.flags & kFlagUtf8Texts) != 0) return StorePasswordBytes(typed);
  char ansi[kPasswordCapacity];
  SysUtf8ToAnsi(typed, ansi, kPasswordCapacity);
  bool stored = StorePasswordBytes(ansi);
  WipeBytes(ansi, sizeof(ansi));
  return stored;
}

bool StorePasswordBytes(const char* bytes) {
  if (bytes[0] == 0) return false;
  ResetPassword();
  CopyText(g_password.bytes, bytes, kPasswordCapacity);
  g_password.stored = true;
  return true;
}

const char* StoredPassword() { return g_password.stored ? g_password.bytes : nullptr; }

void ResetPassword() { WipeBytes(&g_password, sizeof(g_password)); }
