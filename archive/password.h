// The run's password: the one typed in the password dialog or given with
// /password. It is held here and nowhere else. The dialog and the start-up
// hand it in, the archive input asks for it when it sets an entry's keys,
// and it is wiped when another replaces it and when the run ends.
#pragma once

#include "platform/types.h"

// A password has at most 254 characters (UTF-16 units), as the dialog's
// field takes them; its bytes, in UTF-8 or in an ANSI code page, take at
// most three a unit, and the terminator.
const uint32_t kPasswordUnits = 254;
const uint32_t kPasswordCapacity = 3 * kPasswordUnits + 1;

// --- Process-wide state of the password (ResetPassword wipes it) ---
struct PasswordState {
  char bytes[kPasswordCapacity];  // NUL-terminated, as they go into the keys
  bool stored;                    // false until a password was stored
};
extern PasswordState g_password;

// Stores a password as typed (UTF-8) in the bytes the builder fed to the
// keys: as it is for files whose texts are UTF-8 (this builder's), in the
// ANSI code page otherwise (other builders took the password as the system
// gave it to them). An empty password stores nothing and returns false; the
// one stored before stays.
bool StorePassword(const char* typed);

// Stores bytes that go into the keys as they are (a caller that already
// holds them so); empty stores nothing and returns false, as above.
bool StorePasswordBytes(const char* bytes);

// The stored password, or null while there is none.
const char* StoredPassword();

// Wipes the password and forgets it.
void ResetPassword();
