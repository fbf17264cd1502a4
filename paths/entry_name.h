// The check every entry name passes before anything is made of it.
#pragma once

// Refuses the entry name `name`, through FatalError, when it is
// empty (kMessageInvalidHeader) or when it could reach outside the target folder or
// write to a device (kMessageUnsafeName naming the entry): a component of
// dots and blanks alone other than "." (".." and what Windows reads as "..",
// or what would be left empty once its trailing dots and blanks are dropped),
// a ':' anywhere (drive letters, alternate streams), or a component that
// Windows opens as a device (CON, PRN, AUX, NUL, COM0-COM9, LPT0-LPT9, COM
// and LPT with a superscript 1, 2 or 3, CONIN$, CONOUT$, in any case, with or
// without an extension), or when it is not valid UTF-8. Returns only when the
// name is safe to put under the target folder.
void CheckEntryName(const char* name);

// True when `text` is well-formed UTF-8: no stray or missing continuation
// bytes, no overlong forms, no surrogates, nothing beyond U+10FFFF.
bool IsValidUtf8(const char* text);

// The same test on any name: true when it holds such a component or a ':'.
bool HasUnsafeComponent(const char* name);
