// Entry names the self-extractor must never be given, and how Windows sees
// the ones it is given.
//
// The stub joins each entry name to the target folder and writes there, so a
// name may not climb out of that folder, name a drive or an alternate data
// stream, or name a device (opening CON or LPT1 writes to the device, and the
// file would still be counted as unzipped). The stub refuses such names at
// run time; the builder refuses them earlier, so no such file is ever made.
// Names Windows cannot create at all, or that Windows takes for the name of
// another entry, would stop the stub half-way or overwrite a file it has just
// unzipped; only the builder sees every name at once, so it refuses those.
#pragma once

#include <string>

// The reason `name` is unsafe ("it has a '..' component", ...), or nullptr
// when it is safe. One leading '/' or '\' is dropped first, as the stub does.
const char* UnsafeNameReason(const std::string& name);

// The reason Windows cannot create a file or folder of this name ("it holds
// a '*'", ...), or nullptr when it can. For a name that UnsafeNameReason
// passes.
const char* UncreatableNameReason(const std::string& name);

// The name as Windows finds it on disk below the target folder: the
// components between separators ('/' or '\'), with empty and "." components
// dropped, trailing dots and blanks taken off each, the bytes read as UTF-8
// when `utf8` (else in code page 437), every letter folded as Windows folds
// it, joined by '/'. Two entries with the same key land on the same file or
// folder, and a key that begins with another key and a '/' needs that one to
// be a folder. Empty for the target folder itself ("./").
std::u32string NameCollisionKey(const std::string& name, bool utf8);

// True for the characters that change the direction of the text around
// them (the bidirectional marks, embeddings, overrides and isolates):
// "invoice\u202Efdp.exe" shows as "invoiceexe.pdf".
bool IsDirectionControl(char32_t code);

// The name with control characters, direction controls, and bytes that are
// not part of well-formed UTF-8, shown as escapes (\n, \t, \u202E, \xNN),
// so that it takes one line of valid UTF-8, shown as stored, wherever it is
// printed.
std::string PrintableName(const std::string& name);

// PrintableName in double quotes, for a message.
std::string QuoteName(const std::string& name);
