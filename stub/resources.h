// The stub's messages and dialog templates. They are not resources of the
// executable: they lie in its data as two raw DEFLATE streams (made at build
// time from stub/messages.py) and are unpacked with the stub's own decoder.
#pragma once

#include "platform/types.h"

// Messages 0..51; "message" 52 is the main dialog template. Code that fetches
// a message names its number in a constant of its own, with the text beside
// it (the texts are in stub/messages.py).
const int kMessageCount = 52;

// The unpacked string table lives in a block of this size: the table itself,
// then zero bytes, then two guard bytes that the unpacking must not reach.
const uint32_t kStringTableBlockSize = 5619;
const uint32_t kGuardByteCount = 2;
// Start-up copies this many bytes from the main dialog template on (the
// template and the zero bytes behind it) into the block it hands to the
// dialog manager, which wants a 4-byte aligned template.
const uint32_t kMainDialogCopySize = 1024;
// The password dialog template is unpacked into a zero-filled block of this size.
const uint32_t kPasswordTemplateBlockSize = 600;

// The unpacked string table; null before LoadResources and after FreeResources.
extern char* g_stringTableBlock;

// Unpacks the string table into g_stringTableBlock and converts the messages
// (not the template) from the OEM to the ANSI code page. A failure is fatal,
// with the header-corrupt message: there is no other text to show yet.
void LoadResources();

// LoadResources from another compressed stream, which must unpack to exactly
// as many bytes as the built-in one (tests feed damaged streams through it).
void LoadStringTable(const uint8_t* packed, uint32_t packedLength);

// Frees the string table block; null is ignored.
void FreeResources();

// Message `number` (0..51, or 52 for the main dialog template): a pure
// lookup, with no range check, since callers pass constants. Empty before
// LoadResources.
const char* MessageText(int number);

// A fresh zero-filled block of kPasswordTemplateBlockSize bytes holding the
// password dialog template, to be freed with SysFree; null when there is no
// memory. The caller decides what no memory means. The input is consumed
// exactly and the archive is never read, so this works between passes.
// A stream that does not unpack to the template is fatal (header corrupt).
uint8_t* UnpackPasswordTemplate();
