// The stub's messages and dialog templates. They are not resources of the
// executable: they lie in its data as two raw DEFLATE streams (made at build
// time from base/messages.py) and are unpacked with the stub's own decoder.
#pragma once

#include "platform/types.h"

// The unpacked string table lives in a block of this size: the table itself,
// then zero bytes, then two guard bytes that the unpacking must not reach.
const uint32_t kStringTableBlockSize = 5739;
const uint32_t kGuardByteCount = 2;
// Start-up copies this many bytes from the main dialog template on (the
// template and the zero bytes behind it) into the block it hands to the
// dialog manager, which wants a 4-byte aligned template.
const uint32_t kMainDialogCopySize = 1024;
// The password dialog template is unpacked into a zero-filled block of this size.
const uint32_t kPasswordTemplateBlockSize = 600;

// Unpacks the string table into g_stringTableBlock (base/messages.h) and converts the messages
// (not the template) from the OEM to the ANSI code page. A failure is fatal,
// with the header-corrupt message: there is no other text to show yet.
void LoadResources();

// LoadResources from another compressed stream, which must unpack to exactly
// as many bytes as the built-in one (tests feed damaged streams through it).
void LoadStringTable(const uint8_t* packed, uint32_t packedLength);

// Frees the block of a string table unpacking that an abort cut short (the
// decoder found no memory for a decode table). Start-up ends the program
// after such an abort, so only a process that runs start-up again needs this.
void ResetResources();

// A fresh zero-filled block of kPasswordTemplateBlockSize bytes holding the
// password dialog template, to be freed with SysFree; null when there is no
// memory. The caller decides what no memory means. The input is consumed
// exactly and the archive is never read, so this works between passes.
// A stream that does not unpack to the template is fatal (header corrupt).
uint8_t* UnpackPasswordTemplate();
