// The decode table builder. A code's table is built in two walks over its
// codes in increasing length: one to size the block that holds every level,
// one to fill it, so that the sizes agree by construction.
#include "inflate/decode_tables.h"

#include "platform/memory.h"
#include "base/abort.h"

namespace {

inline DecodeEntry MakeEntry(uint32_t bits, uint32_t op, uint32_t value) {
  return bits | (op << 8) | (value << 16);
}

// A code as BuildDecodeTable hands it to WalkCodes: how many codes each
// length has (the unused patterns counted as dummy codes of the longest
// length), the symbols sorted by code length, and what the symbols mean.
struct CodeShape {
  const uint16_t* lengthCount;
  uint16_t values[288];
  uint32_t realCodes;
  uint32_t minLength;
  uint32_t maxLength;
  uint32_t rootBits;
  uint32_t simpleCount;         // symbols below it are literals (and 256 the end of block)
  const uint16_t* baseTable;    // for the others: base value and extra bits
  const uint16_t* extraTable;
};

// The entry of the symbol that the walk's next real code stands for; a
// dummy code (past the real ones) decodes as invalid.
DecodeEntry SymbolEntry(const CodeShape* shape, uint32_t nextValue, uint32_t bits) {
  if (nextValue >= shape->realCodes) return MakeEntry(bits, kOpInvalid, 0);
  uint32_t symbol = shape->values[nextValue];
  if (symbol < shape->simpleCount) return MakeEntry(bits, symbol < 256 ? kOpLiteral : kOpEndOfBlock, symbol);
  symbol -= shape->simpleCount;
  return MakeEntry(bits, shape->extraTable[symbol], shape->baseTable[symbol]);
}

// The width of a next-level table opened for a code of `length` bits of
// which the levels above resolve `resolvedBits`, with `remaining` more codes
// of that length to come: wide enough for the codes that follow to fill it,
// at most the root's width and what the longest code needs.
uint32_t NextLevelBits(const CodeShape* shape, uint32_t length, uint32_t resolvedBits, uint32_t remaining) {
  uint32_t sizeLimit = shape->maxLength - resolvedBits;
  if (sizeLimit > shape->rootBits) sizeLimit = shape->rootBits;
  uint32_t indexBits = length - resolvedBits;
  uint32_t slots = 1u << indexBits;
  if (slots > remaining + 1) {  // too few codes of this length to fill the table
    uint32_t missing = slots - (remaining + 1);
    const uint16_t* longer = shape->lengthCount + length;
    while (++indexBits < sizeLimit) {
      missing <<= 1;
      if (missing <= *++longer) break;
      missing -= *longer;
    }
  }
  return indexBits;
}

// Walks the codes in increasing length, opening a next-level table wherever
// a code is longer than the levels open resolve. All levels lie in one
// block, the root table first; a link entry holds its table's index in the
// block. Returns the number of entries in the block; fills it when `table`
// is not null (the same walk, so the sizes agree).
uint32_t WalkCodes(const CodeShape* shape, DecodeEntry* table) {
  const int32_t rootBits = static_cast<int32_t>(shape->rootBits);
  uint32_t levelStart[kMaxCodeBits];           // index of each open level's table
  uint32_t levelCode[kMaxCodeBits + 1] = {0};  // code value that opened each level
  uint32_t used = 0;                           // entries of the tables opened so far
  uint32_t code = 0;                           // the current code, its bits reversed
  uint32_t nextValue = 0;
  int level = -1;
  int32_t resolvedBits = -rootBits;
  uint32_t tableSize = 0;

  for (uint32_t length = shape->minLength; length <= shape->maxLength; ++length) {
    uint32_t remaining = shape->lengthCount[length];
    while (remaining-- > 0) {
      // Open deeper tables until this code fits.
      while (static_cast<int32_t>(length) > resolvedBits + rootBits) {
        ++level;
        resolvedBits += rootBits;
        uint32_t indexBits = NextLevelBits(shape, length, static_cast<uint32_t>(resolvedBits), remaining);
        tableSize = 1u << indexBits;
        levelStart[level] = used;
        used += tableSize;
        if (level > 0) {
          levelCode[level] = code;
          uint32_t slot = levelStart[level - 1] + (code >> (resolvedBits - rootBits));
          if (table != nullptr) table[slot] = MakeEntry(shape->rootBits, kOpLiteral + indexBits, levelStart[level]);
        }
      }

      uint32_t bits = length - static_cast<uint32_t>(resolvedBits);
      if (table != nullptr) {
        DecodeEntry entry = SymbolEntry(shape, nextValue, bits);
        DecodeEntry* current = table + levelStart[level];
        for (uint32_t index = code >> resolvedBits; index < tableSize; index += 1u << bits) current[index] = entry;
      }
      ++nextValue;

      // Next code, bit-reversed increment of `length` bits.
      uint32_t bit = 1u << (length - 1);
      while ((code & bit) != 0) {
        code ^= bit;
        bit >>= 1;
      }
      code ^= bit;

      // Back up over finished tables. The current table need not follow:
      // the next code is longer than everything the parent level resolves,
      // so it always opens a fresh table first.
      while ((code & ((1u << resolvedBits) - 1)) != levelCode[level]) {
        --level;
        resolvedBits -= rootBits;
      }
    }
  }
  return used;
}

}  // namespace

int BuildDecodeTable(const uint16_t* lengths, uint32_t count, uint32_t simpleCount,
                     const uint16_t* baseTable, const uint16_t* extraTable, DecodeEntry** table,
                     uint32_t* lookupBits) {
  uint16_t lengthCount[kMaxCodeBits + 1] = {0};
  for (uint32_t symbol = 0; symbol < count; ++symbol) lengthCount[lengths[symbol]]++;
  if (lengthCount[0] == count) {  // no codes at all
    *table = nullptr;
    *lookupBits = 0;
    return kCodeComplete;
  }

  uint32_t minLength = 1;
  while (lengthCount[minLength] == 0) ++minLength;
  uint32_t maxLength = kMaxCodeBits;
  while (lengthCount[maxLength] == 0) --maxLength;
  uint32_t rootBits = *lookupBits;
  if (rootBits < minLength) rootBits = minLength;
  if (rootBits > maxLength) rootBits = maxLength;
  *lookupBits = rootBits;

  // Check the counts against the bit patterns available; unused patterns
  // become dummy codes of the longest length, which decode as invalid.
  int32_t unused = 1 << minLength;
  for (uint32_t length = minLength; length < maxLength; ++length, unused <<= 1) {
    unused -= lengthCount[length];
    if (unused < 0) return kCodeOverSubscribed;
  }
  unused -= lengthCount[maxLength];
  if (unused < 0) return kCodeOverSubscribed;
  lengthCount[maxLength] = static_cast<uint16_t>(lengthCount[maxLength] + unused);

  // Symbols sorted by code length, stable within a length.
  CodeShape shape;
  uint16_t offsets[kMaxCodeBits + 2];
  offsets[1] = 0;
  for (uint32_t length = 1; length < maxLength; ++length) {
    offsets[length + 1] = static_cast<uint16_t>(offsets[length] + lengthCount[length]);
  }
  for (uint32_t symbol = 0; symbol < count; ++symbol) {
    if (lengths[symbol] != 0) shape.values[offsets[lengths[symbol]]++] = static_cast<uint16_t>(symbol);
  }
  shape.realCodes = offsets[maxLength];
  shape.lengthCount = lengthCount;
  shape.minLength = minLength;
  shape.maxLength = maxLength;
  shape.rootBits = rootBits;
  shape.simpleCount = simpleCount;
  shape.baseTable = baseTable;
  shape.extraTable = extraTable;

  // Once to size the block that holds every level, once to fill it.
  uint32_t entries = WalkCodes(&shape, nullptr);
  *table = static_cast<DecodeEntry*>(SysAlloc(entries * sizeof(DecodeEntry)));
  if (*table == nullptr) FatalError(kNotEnoughMemoryText);
  WalkCodes(&shape, *table);
  return unused != 0 && maxLength != 1 ? kCodeIncomplete : kCodeComplete;
}

void FreeDecodeTable(DecodeEntry* table) {
  if (table != nullptr) SysFree(table);
}
