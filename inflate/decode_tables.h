// The decode tables of the DEFLATE decoder: every Huffman code of a block
// becomes a multi-level lookup table. The first level is indexed by a fixed
// number of stream bits (the caller's wish, clamped to the lengths present);
// longer codes continue in smaller next-level tables, sized so that they
// hold no more entries than the remaining codes need. All levels of one code
// lie in one allocation, the first level at its start; a link entry holds
// its table's index there.
#pragma once

#include "platform/types.h"

// The longest code DEFLATE has (RFC 1951, 3.2.7).
const uint32_t kMaxCodeBits = 15;

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

// BuildDecodeTable's verdicts on a set of code lengths.
const int kCodeComplete = 0;
const int kCodeIncomplete = 1;       // patterns left unused: they decode as invalid codes
const int kCodeOverSubscribed = 2;   // more codes than patterns: no table

// Builds the decode table of the canonical Huffman code whose code lengths
// (0 = unused) are lengths[0..count). Symbols below simpleCount are literals
// (and 256 the end of block); a symbol s above takes its base value and extra
// bits from baseTable and extraTable at s - simpleCount. *lookupBits is the
// wanted first-level width in, the width used out. *table is null for an
// empty code (which counts as complete) and stays as it was after
// kCodeOverSubscribed; a single 1-bit code counts as complete too. No memory
// for the table is fatal (kNotEnoughMemoryText).
int BuildDecodeTable(const uint16_t* lengths, uint32_t count, uint32_t simpleCount,
                     const uint16_t* baseTable, const uint16_t* extraTable, DecodeEntry** table,
                     uint32_t* lookupBits);

// Frees a decode table; null is ignored.
void FreeDecodeTable(DecodeEntry* table);
