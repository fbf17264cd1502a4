// The generated data behind ui/resources.cpp (see tools/resgen/resgen.py):
// two raw DEFLATE streams, their lengths packed and unpacked, and where each
// message starts in the unpacked string table.
#pragma once

#include "platform/types.h"
#include "base/messages.h"

// Entry N: offset of message N in the unpacked table; entry kMessageCount:
// offset of the main dialog template, which is also the length of messages
// 0-52; the later messages follow the template.
extern const uint32_t kMessageOffsets[kMessageTableEntries];

extern const uint8_t kPackedStringTable[];
extern const uint32_t kPackedStringTableLength;
extern const uint32_t kStringTableLength;  // messages, template and its 8 zero bytes

extern const uint8_t kPackedPasswordTemplate[];
extern const uint32_t kPackedPasswordTemplateLength;
extern const uint32_t kPasswordTemplateLength;  // template and its 8 zero bytes
