// The password checked before a pass: a wrong one is caught before anything
// is made, so that the user can be asked again and a failed run leaves no
// folders behind.
#pragma once

#include "platform/types.h"

enum PasswordVerdict {
  kPasswordOpens = 0,    // the first encrypted entry's header takes it
  kPasswordWrong = 1,    // that header refuses it
  kPasswordMissing = 2,  // none was stored
  kPasswordUnknown = 3,  // it cannot be told before the pass (a spanned set, an entry of unknown size, no
                         // encrypted entry with data, a damaged archive); the pass checks every entry
};

// Walks the local headers of the archive from its start, reading only, to the
// first encrypted entry with data, and checks the stored password against its
// encryption header. The archive's position is left where it was. Errors are
// not reported here: the pass meets them and says so.
PasswordVerdict CheckPasswordAhead();
