// The DEFLATE decoder (RFC 1951): table driven, taking its input from the
// archive input's buffer (refilled through RefillInput) and writing into a 32 KiB
// circular window that it hands to the output sink (EmitWindow) each time it
// is full and once more at the end of the stream.
#pragma once

#include "platform/types.h"

// Results of Inflate and its block routines.
const int kInflateOk = 0;
const int kInflateBadData = 1;     // invalid code, bad stored length, incomplete code, truncated stream
const int kInflateBadBlock = 2;    // block type 3, over-subscribed code

// Decodes one whole stream. Only this is called from outside the decoder.
int Inflate();

// Decodes the raw DEFLATE block `source` into `destination`, never writing
// more than `capacity` bytes and never touching the archive. Returns the
// decoder's result and the number of bytes produced.
int InflateToMemory(const void* source, uint32_t sourceLength, void* destination, uint32_t capacity,
                    uint32_t* produced);

// The decoder's state between streams is only the tables of a block that an
// abort left half decoded: this frees them (the next stream and shutdown call it).
void FreeDecodeTables();

// One element of a decode table, packed in 32 bits so that one load yields
// all of it:
//   bits 0..7    the stream bits its code takes at this level;
//   bits 8..15   op: 0..13 extra bits of a length or distance; 15 end of
//                block; 16 literal; 17..32 a next-level table of (op - 16)
//                bits; 99 invalid code;
//   bits 16..31  the literal, symbol, base length or base distance; for a
//                next-level table, its index in the code's block.
typedef uint32_t DecodeEntry;

inline uint32_t EntryBits(DecodeEntry entry) { return entry & 0xFF; }
inline uint32_t EntryOp(DecodeEntry entry) { return (entry >> 8) & 0xFF; }
inline uint32_t EntryValue(DecodeEntry entry) { return entry >> 16; }

const uint8_t kOpEndOfBlock = 15;
const uint8_t kOpLiteral = 16;
const uint8_t kOpInvalid = 99;

// Builds the multi-level decode table of a canonical Huffman code, all its
// levels in one block, the first level at its start. Returns 0 complete, 1
// incomplete, 2 over-subscribed; *table is null for an empty code.
// *lookupBits is the wanted first-level width in, the width used out.
int BuildDecodeTable(const uint16_t* lengths, uint32_t count, uint32_t simpleCount,
                     const uint16_t* baseTable, const uint16_t* extraTable, DecodeEntry** table,
                     uint32_t* lookupBits);

// Frees a decode table; null is ignored.
void FreeDecodeTable(DecodeEntry* table);
