// The DEFLATE decoder.
//
// Shape: every Huffman code of a block becomes a multi-level lookup table
// (BuildDecodeTable). The first level is indexed by a fixed number of stream
// bits (9 for dynamic literal/length codes, 6 for dynamic distances, 7 and 5
// for the fixed codes, 7 for the code-length code, clamped to the lengths
// present); longer codes continue in smaller next-level tables, sized so that
// they hold no more entries than the remaining codes need. All tables of one
// code lie in one allocation (a link entry holds its table's index there),
// freed at the end of the block; an entry is one 32-bit word.
//
// Input: bytes are pulled one at a time (PullFrom), only when a field needs
// them, so that a stream pulls exactly its own length from the byte source
// and leaves whatever follows it. A code lookup pulls a byte only
// while the code found is longer than the bits at hand. (Where the input
// buffer holds enough, the codes of a block take bytes ahead, a word at a
// time, and give back what they did not use: see DecodeFast and
// TOP_UP_BITS.) At the end of the input the
// missing bytes count as zero bits of filler; consuming any filler bit means
// the stream was cut short, and the decoder stops with result 1 instead of
// decoding the filler for ever.
//
// Output: a 32 KiB circular window, handed to EmitWindow whenever it is full
// and once more with its fill count at the end of a successful stream.
#include "inflate/inflate.h"

#include "archive/input.h"
#include "extract/output.h"
#include "platform/bytes.h"
#include "platform/memory.h"
#include "base/abort.h"
#include "base/work_memory.h"

namespace {

// Process-wide decoding state, carried from block to block of one stream.
uint32_t g_bitBuffer;       // bits not yet consumed; the next stream bit is bit 0
uint32_t g_bitCount;        // valid bits in g_bitBuffer
uint32_t g_windowPosition;  // next byte to write in the window (0..0x7FFF)
uint32_t g_fillerBits;      // bits at the top of g_bitBuffer that came from past the end

// The tables of the block being decoded. They live here, not in the block
// routines' frames: an abort (a read error, a cancel) can leave a block at
// any point, and the next stream or shutdown frees what it left behind.
DecodeEntry* g_codeLengthTable;
DecodeEntry* g_literalTable;
DecodeEntry* g_distanceTable;

// The low n bits of a value (n = 0..16).
inline uint32_t LowBits(uint32_t value, uint32_t n) { return value & ((1u << n) - 1); }

const uint16_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5,
                                       11, 4, 12, 3, 13, 2, 14, 1, 15};

// Length codes 257..287; 286 and 287 are invalid (99 extra bits).
const uint16_t kLengthBase[31] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27, 31,
                                  35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258, 0,  0};
const uint16_t kLengthExtra[31] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2,
                                   3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0, 99, 99};

// Distance codes 0..29; 30 and 31 have no entry and decode as invalid codes.
const uint16_t kDistanceBase[30] = {1,    2,    3,    4,    5,    7,     9,     13,    17,  25,
                                    33,   49,   65,   97,   129,  193,   257,   385,   513, 769,
                                    1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const uint16_t kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                     6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

const uint32_t kLiteralLookupBits = 9;
const uint32_t kDistanceLookupBits = 6;
const uint32_t kFixedLiteralLookupBits = 7;
const uint32_t kFixedDistanceLookupBits = 5;
const uint32_t kCodeLengthLookupBits = 7;
const uint32_t kMaxCodeBits = 16;

// --- Bit input -------------------------------------------------------------
// The routines below keep the bit state and the input cursor in locals
// (LOAD_BITS) and store them back (SAVE_BITS) before another routine takes
// over. NEED_BITS pulls whole bytes until n bits are there; DROP_BITS
// consumes n bits and stops the stream with result 1 if any of them was
// filler from past the end of the input.

// Where the byte source stands: the cursor and the bytes left at it. The
// decoder keeps its own copies in locals, so that they can live in
// registers, and hands them to PullFrom by value.
struct InputPlace {
  const uint8_t* in;
  int32_t available;
};

// The place behind the byte source's next byte, which is then at in[-1]; at
// the end of the data, a count below zero and the cursor as it was.
InputPlace PullFrom(InputPlace place) {
  if (place.available <= 0) {
    int32_t got = RefillInput();
    if (got <= 0) return InputPlace{place.in, -1};
    place = InputPlace{g_inputCursor, got};
  }
  return InputPlace{place.in + 1, place.available - 1};
}

#define PULL_BYTE()                                     \
  do {                                                  \
    InputPlace pulled = PullFrom(InputPlace{in, available}); \
    if (pulled.available < 0) {                         \
      filler += 8;                                      \
    } else {                                            \
      in = pulled.in;                                   \
      available = pulled.available;                     \
      b |= static_cast<uint32_t>(in[-1]) << k;          \
    }                                                   \
    k += 8;                                             \
  } while (0)

#define NEED_BITS(n) \
  while (k < static_cast<uint32_t>(n)) PULL_BYTE()

#define DROP_BITS(n)                        \
  do {                                      \
    b >>= (n);                              \
    k -= (n);                               \
    if (k < filler) return kInflateBadData; \
  } while (0)

// Finds the table entry of the next code, pulling a byte only while the
// entry found needs more bits than the buffer holds: a code may be shorter
// than the table's index, and the bytes behind the last code of a stream are
// not the decoder's to take. (Bits above the count are zero, so an entry
// whose code fits in the bits present is the right one.)
#define LOOKUP(entry, table, mask)             \
  for (;;) {                                   \
    entry = (table)[b & (mask)];               \
    if (EntryBits(entry) <= k) break;          \
    PULL_BYTE();                               \
  }

// Consumes n bits without the filler check; the caller checks before it
// acts on what it decoded.
#define SKIP_BITS(n) \
  do {               \
    b >>= (n);       \
    k -= (n);        \
  } while (0)

#define LOAD_BITS()                          \
  uint32_t b = g_bitBuffer;                  \
  uint32_t k = g_bitCount;                   \
  uint32_t filler = g_fillerBits;            \
  const uint8_t* in = g_inputCursor;         \
  int32_t available = g_inputCount

// While the input buffer holds more than a literal or match can take (at
// most 7 bytes: up to 3 topping up for the literal/length code and its extra
// bits, 3 for the distance code, 1 for its extra bits), the bit buffer is
// topped up from it a word at a time, without the byte source's checks, to
// at least 24 bits: enough for any literal/length code with its extra bits,
// and for most distances. The word's bits above the whole bytes taken are
// those of the next byte, at the very places where that byte goes when it is
// taken, so they do no harm while at least the bits a field needs are there.
// Below that margin the bytes are pulled one at a time as fields need them,
// as everywhere else. A block that began with the margin never reaches the
// end of the buffer, so the whole bytes in the bit buffer have all come from
// the buffer as it stands: GIVE_BACK_BYTES returns them to it (and clears
// the bits above the count) before a block ends or the careful pulls take
// over, so that the stream never takes more than its own bytes from the byte
// source.
const int32_t kTopUpMargin = 8;

inline uint32_t LoadLe32(const uint8_t* bytes) {
  uint32_t word;
  CopyBytes(&word, bytes, 4);  // x86 on both targets: little-endian, unaligned loads are fine
  return word;
}

#define TOP_UP_BITS()                                        \
  do {                                                       \
    if (available >= kTopUpMargin) {                         \
      b |= LoadLe32(in) << k;                                \
      uint32_t taken = (31 - k) >> 3;                        \
      in += taken;                                           \
      available -= static_cast<int32_t>(taken);              \
      k |= 24;                                               \
    }                                                        \
  } while (0)

#define GIVE_BACK_BYTES()                     \
  do {                                        \
    in -= k >> 3;                             \
    available += static_cast<int32_t>(k >> 3); \
    k &= 7;                                   \
    b = LowBits(b, k);                        \
  } while (0)

// The codes loop keeps its bits in a machine word: 64 bits on a 64-bit host,
// where one refill holds a whole match (up to 48 bits: a 15-bit length code
// with 5 extra bits, a 15-bit distance code with 13), 32 on the stub's target,
// where it holds a length with its extra bits and is refilled for the
// distance. Between blocks and routines the buffer holds fewer than 8 bits
// (GIVE_BACK_BYTES), so the other routines' 32-bit buffer takes them as they are.
typedef uintptr_t BitWord;
const uint32_t kWordBits = sizeof(BitWord) * 8;

inline BitWord LoadWord(const uint8_t* bytes) {
  BitWord word;
  CopyBytes(&word, bytes, sizeof(word));  // little-endian, unaligned loads are fine
  return word;
}

// The fast loop's top-up: as TOP_UP_BITS, a whole word, to at least
// kWordBits - 8 bits, without looking at the count: the loop only runs while
// the buffer holds more than it can take (kFastInputMargin).
#define REFILL_WORD()                                  \
  do {                                                 \
    b |= LoadWord(in) << k;                            \
    in += (kWordBits - 1 - k) >> 3;                    \
    k |= kWordBits - 8;                                \
  } while (0)

// The fast loop runs while a round (a literal, then a literal or a match)
// fits without a look at either end: the input buffer holds more than its
// refills can read (three refills of a 32-bit word take at most 9 bytes and
// read 4 beyond; two of a 64-bit word take 14 and read 8), and the window
// has room for a literal and the longest match with a byte to spare, so that
// it never fills up inside the loop.
const int32_t kFastInputMargin = 32;

// The bits the fast loop wants in the buffer before it decodes a literal or
// length: with a 64-bit buffer a whole match (a 15-bit length code, 5 extra
// bits, a 15-bit distance code, 13 extra bits), so that one refill serves
// the match or two or three literals; with a 32-bit buffer a length code
// and its extra bits, the distance being refilled for.
const uint32_t kFastWantedBits = kWordBits >= 64 ? 48 : 20;
const uint32_t kMaxCodeLength = 15;
const uint32_t kMaxMatchLength = 258;
const uint32_t kFastWindowRoom = 1 + kMaxMatchLength + 1;

// The bits a literal/length code and a length's extra bits take at most: a
// literal leaves at least this many for the next code in the same round.
const uint32_t kMaxLengthBits = kMaxCodeLength + 5;

#define SAVE_BITS()              \
  do {                           \
    g_bitBuffer = b;             \
    g_bitCount = k;              \
    g_fillerBits = filler;       \
    g_inputCursor = in;          \
    g_inputCount = available;    \
  } while (0)

// Writes one byte to the window, emitting the window when it is full.
#define PUT_BYTE(position, byte)          \
  do {                                    \
    window[position++] = (byte);          \
    if (position == kWindowSize) {        \
      EmitWindow(static_cast<uint16_t>(kWindowSize)); \
      position = 0;                       \
    }                                     \
  } while (0)

// --- Decode tables ---------------------------------------------------------

inline void CopyWord(uint8_t* destination, const uint8_t* source) {
  uint64_t word;
  CopyBytes(&word, source, 8);
  CopyBytes(destination, &word, 8);
}

// Copies `count` window bytes from `source` to `destination` with the result
// of a forward byte-by-byte copy: when the source lies less than 8 bytes
// behind, the bytes this copy writes feed it (a short distance repeats a
// pattern). Never writes outside [destination, destination + count): the
// bytes behind may still be needed as the oldest history.
inline void CopyMatch(uint8_t* destination, const uint8_t* source, uint32_t count) {
  bool patternSafe = destination - source >= 8 ||                     // far enough behind
                     (destination < source && static_cast<uint32_t>(source - destination) >= count);  // disjoint, ahead
  if (patternSafe && count >= 8) {
    uint8_t* const end = destination + count;
    const uint8_t* const sourceEnd = source + count;
    do {
      CopyWord(destination, source);
      destination += 8;
      source += 8;
    } while (end - destination >= 8);
    if (destination != end) CopyWord(end - 8, sourceEnd - 8);  // overlaps bytes just written
    return;
  }
  if (patternSafe && count >= 4) {
    uint32_t head;
    uint32_t tail;
    CopyBytes(&head, source, 4);
    CopyBytes(&tail, source + count - 4, 4);
    CopyBytes(destination, &head, 4);
    CopyBytes(destination + count - 4, &tail, 4);
    return;
  }
  if (destination - source == 1) {  // a run of one byte
    FillBytes(destination, *source, count);
    return;
  }
  while (count-- > 0) *destination++ = *source++;
}

int InflateCodes(const DecodeEntry* literalTable, const DecodeEntry* distanceTable,
                 uint32_t literalBits, uint32_t distanceBits);

// --- Decode tables ---------------------------------------------------------

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
    return 0;
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
    if (unused < 0) return kInflateBadBlock;
  }
  unused -= lengthCount[maxLength];
  if (unused < 0) return kInflateBadBlock;
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
  if (*table == nullptr) FatalError("not enough memory");
  WalkCodes(&shape, *table);
  return unused != 0 && maxLength != 1 ? kInflateBadData : kInflateOk;
}

void FreeDecodeTable(DecodeEntry* table) {
  if (table != nullptr) SysFree(table);
}

namespace {

// Copies a match whose source or destination reaches the end of the window,
// in chunks that stay inside the window on both sides, emitting the window
// when it is full. A distance before the start of the stream reads what the
// window holds. Returns the window position after the match.
uint32_t CopyMatchAcrossWindowEnd(uint8_t* window, uint32_t position, uint32_t source, uint32_t length) {
  do {
    source &= kWindowSize - 1;
    uint32_t chunk = kWindowSize - (source > position ? source : position);
    if (chunk > length) chunk = length;
    length -= chunk;
    CopyMatch(window + position, window + source, chunk);
    position += chunk;
    source += chunk;
    if (position == kWindowSize) {
      EmitWindow(static_cast<uint16_t>(kWindowSize));
      position = 0;
    }
  } while (length != 0);
  return position;
}

// Follows next-level tables of the code whose block starts at `table`, from
// a first-level entry to the entry of the code, consuming each level's bits
// (which are already there); an invalid code stops the fast loop with
// kInflateBadData.
#define FOLLOW_LEVELS(entry, op, table)                              \
  while (op > kOpLiteral) {                                          \
    if (op == kOpInvalid) {                                          \
      result = kInflateBadData;                                      \
      break;                                                         \
    }                                                                \
    SKIP_BITS(EntryBits(entry));                                     \
    entry = (table)[EntryValue(entry) + LowBits(b, op - kOpLiteral)]; \
    op = EntryOp(entry);                                             \
  }                                                                  \
  if (result == kInflateBadData) break

// Where the codes of a block stand between their fast and careful loops.
struct CodesPlace {
  BitWord bits;
  uint32_t bitCount;
  const uint8_t* in;
  int32_t available;
  uint32_t position;
};

// What stopped the fast loop, besides kInflateBadData.
const int kFastLoopEdge = -1;        // near the end of the input buffer or the window
const int kFastLoopEndOfBlock = -2;  // the end-of-block code

// The fast loop: decodes while a whole literal or match fits in what the
// input buffer and the window hold (kFastInputMargin, kFastWindowRoom),
// refilling the bit buffer a word at a time and looking at neither end. It
// works on pointers and keeps little else live, so that on a 32-bit target
// most of its state stays in registers. Hands the place back with fewer than
// 8 bits in the buffer. Filler never gets here: the input has ended before
// any is taken, so the margin is never there again.
int DecodeFast(CodesPlace* place, const DecodeEntry* literalTable, const DecodeEntry* distanceTable,
               uint32_t literalMask, uint32_t distanceMask) {
  BitWord b = place->bits;
  uint32_t k = place->bitCount;
  const uint8_t* in = place->in;
  const uint8_t* const inEnd = in + place->available;
  uint8_t* const window = g_window;
  uint8_t* out = window + place->position;
  uint8_t* const outLimit = window + (kWindowSize - kFastWindowRoom);
  int result = kFastLoopEdge;
  while (inEnd - in >= kFastInputMargin && out <= outLimit) {
    if (k < kFastWantedBits) REFILL_WORD();
    DecodeEntry entry = literalTable[b & literalMask];
    uint32_t op = EntryOp(entry);
    FOLLOW_LEVELS(entry, op, literalTable);
    SKIP_BITS(EntryBits(entry));
    if (op == kOpLiteral) {
      // Literals come in runs: with a 64-bit buffer the bits left hold the
      // next code, which is then decoded in the same round, without the
      // round's checks. (A 32-bit buffer seldom holds enough, and the stub
      // is smaller without.)
      *out++ = static_cast<uint8_t>(EntryValue(entry));
      if (kWordBits < 64 || k < kMaxLengthBits) continue;
      entry = literalTable[b & literalMask];
      op = EntryOp(entry);
      FOLLOW_LEVELS(entry, op, literalTable);
      SKIP_BITS(EntryBits(entry));
      if (op == kOpLiteral) {
        *out++ = static_cast<uint8_t>(EntryValue(entry));
        continue;
      }
    }
    if (op == kOpEndOfBlock) {
      result = kFastLoopEndOfBlock;
      break;
    }

    uint32_t length = EntryValue(entry) + LowBits(b, op);
    SKIP_BITS(op);
    if (distanceTable == nullptr) {
      result = kInflateBadData;
      break;
    }
    if (k < kMaxCodeLength) REFILL_WORD();  // only a 32-bit buffer runs short here
    entry = distanceTable[b & distanceMask];
    op = EntryOp(entry);
    FOLLOW_LEVELS(entry, op, distanceTable);
    SKIP_BITS(EntryBits(entry));
    if (k < op) REFILL_WORD();  // a 32-bit buffer may hold only 9 bits here
    uint32_t distance = EntryValue(entry) + LowBits(b, op);
    SKIP_BITS(op);
    uint32_t position = static_cast<uint32_t>(out - window);
    if (distance <= position) {  // the usual case: the source is behind in the window
      CopyMatch(out, out - distance, length);
      out += length;
      continue;
    }
    uint32_t source = position + kWindowSize - distance;  // from the window's older turn
    if (source + length <= kWindowSize) {
      CopyMatch(out, window + source, length);
      out += length;
      continue;
    }
    out = window + CopyMatchAcrossWindowEnd(window, position, source, length);
  }
  in -= k >> 3;  // the whole bytes not used go back, as GIVE_BACK_BYTES does
  k &= 7;
  place->bits = LowBits(b, k);
  place->bitCount = k;
  place->in = in;
  place->available = static_cast<int32_t>(inEnd - in);
  place->position = static_cast<uint32_t>(out - window);
  return result;
}

// Decodes literals and matches until the end-of-block code. 0 at the end of
// the block, 1 on an invalid code, a missing table or a truncated stream.
//
// The fast loop (DecodeFast) does most of the work; this loop, the careful
// one, decodes where the fast one may not: near the end of the input buffer
// or of the window, one field at a time as described above.
//
// Assumes: the window exists; both tables come from BuildDecodeTable with the
// lookup widths it returned (the distance table may be null in a block of
// literals only). Keeps the bit state and the window position in locals and
// stores them back only when the block ends.
int InflateCodes(const DecodeEntry* literalTable, const DecodeEntry* distanceTable,
                 uint32_t literalBits, uint32_t distanceBits) {
  if (literalTable == nullptr) return kInflateBadData;
  BitWord b = g_bitBuffer;
  uint32_t k = g_bitCount;
  uint32_t filler = g_fillerBits;
  const uint8_t* in = g_inputCursor;
  int32_t available = g_inputCount;
  uint32_t position = g_windowPosition;
  uint8_t* const window = g_window;
  const uint32_t literalMask = (1u << literalBits) - 1;
  const uint32_t distanceMask = (1u << distanceBits) - 1;

  for (;;) {
    GIVE_BACK_BYTES();  // the careful loop takes bytes only as it needs them
    if (available >= kFastInputMargin && position <= kWindowSize - kFastWindowRoom) {
      CodesPlace place = {b, k, in, available, position};
      int stop = DecodeFast(&place, literalTable, distanceTable, literalMask, distanceMask);
      if (stop == kInflateBadData) return stop;
      b = place.bits;
      k = place.bitCount;
      in = place.in;
      available = place.available;
      position = place.position;
      if (stop == kFastLoopEndOfBlock) break;
      if (available >= kFastInputMargin && position <= kWindowSize - kFastWindowRoom) continue;
    }

    TOP_UP_BITS();
    DecodeEntry entry;
    LOOKUP(entry, literalTable, literalMask);
    uint32_t op = EntryOp(entry);
    while (op > kOpLiteral) {  // a longer code continues in a next-level table
      if (op == kOpInvalid) return kInflateBadData;
      SKIP_BITS(EntryBits(entry));
      const DecodeEntry* next = literalTable + EntryValue(entry);
      LOOKUP(entry, next, (1u << (op - kOpLiteral)) - 1);
      op = EntryOp(entry);
    }
    SKIP_BITS(EntryBits(entry));
    // Filler is checked once per literal or match, before anything of it is
    // written: the bits skipped so far may have come from past the end.
    if (op == kOpLiteral) {
      if (k < filler) return kInflateBadData;
      PUT_BYTE(position, static_cast<uint8_t>(EntryValue(entry)));
      continue;
    }
    if (op == kOpEndOfBlock) {
      if (k < filler) return kInflateBadData;
      break;
    }

    // A match: the length, then the distance back into the window.
    NEED_BITS(op);
    uint32_t length = EntryValue(entry) + LowBits(b, op);
    SKIP_BITS(op);

    if (distanceTable == nullptr) return kInflateBadData;
    TOP_UP_BITS();
    LOOKUP(entry, distanceTable, distanceMask);
    op = EntryOp(entry);
    while (op > kOpLiteral) {
      if (op == kOpInvalid) return kInflateBadData;
      SKIP_BITS(EntryBits(entry));
      const DecodeEntry* next = distanceTable + EntryValue(entry);
      LOOKUP(entry, next, (1u << (op - kOpLiteral)) - 1);
      op = EntryOp(entry);
    }
    SKIP_BITS(EntryBits(entry));
    NEED_BITS(op);
    uint32_t source = (position - EntryValue(entry) - LowBits(b, op)) & (kWindowSize - 1);
    SKIP_BITS(op);
    if (k < filler) return kInflateBadData;

    if (source < position && position + length < kWindowSize) {  // the usual case: no wrap
      CopyMatch(window + position, window + source, length);
      position += length;
      continue;
    }
    position = CopyMatchAcrossWindowEnd(window, position, source, length);
  }

  GIVE_BACK_BYTES();
  SAVE_BITS();
  g_windowPosition = position;
  return kInflateOk;
}

// A stored block: LEN, its complement, then LEN bytes as they stand.
int InflateStored() {
  LOAD_BITS();
  DROP_BITS(k & 7);  // to the next byte boundary of the stream
  NEED_BITS(16);
  uint32_t length = b & 0xFFFF;
  DROP_BITS(16);
  NEED_BITS(16);
  if ((~b & 0xFFFF) != length) return kInflateBadData;
  DROP_BITS(16);

  // Every field is pulled exactly, so a block header leaves fewer than 8
  // bits behind: after the alignment and the two length fields the bit
  // buffer is empty, and the stored bytes come straight from the byte
  // source, a run at a time.
  uint32_t position = g_windowPosition;
  uint8_t* const window = g_window;
  while (length > 0) {
    uint16_t cell = 0;
    if (ReadInputByteFrom(&in, &available, &cell) == 0) return kInflateBadData;  // ends inside the block
    PUT_BYTE(position, static_cast<uint8_t>(cell));
    --length;
    uint32_t run = static_cast<uint32_t>(available > 0 ? available : 0);
    if (run > length) run = length;
    if (run > kWindowSize - position) run = kWindowSize - position;
    if (run > 0) {
      CopyBytes(window + position, in, run);
      in += run;
      available -= static_cast<int32_t>(run);
      position += run;
      length -= run;
      if (position == kWindowSize) {
        EmitWindow(static_cast<uint16_t>(kWindowSize));
        position = 0;
      }
    }
  }
  SAVE_BITS();
  g_windowPosition = position;
  return kInflateOk;
}

// A block with the fixed codes, whose tables are built anew for every block.
int InflateFixed() {
  uint16_t lengths[288];
  uint32_t symbol = 0;
  for (; symbol < 144; ++symbol) lengths[symbol] = 8;
  for (; symbol < 256; ++symbol) lengths[symbol] = 9;
  for (; symbol < 280; ++symbol) lengths[symbol] = 7;
  for (; symbol < 288; ++symbol) lengths[symbol] = 8;
  uint32_t literalBits = kFixedLiteralLookupBits;
  int result = BuildDecodeTable(lengths, 288, 257, kLengthBase, kLengthExtra, &g_literalTable, &literalBits);
  if (result != 0) return result;

  for (symbol = 0; symbol < 30; ++symbol) lengths[symbol] = 5;
  uint32_t distanceBits = kFixedDistanceLookupBits;
  result = BuildDecodeTable(lengths, 30, 0, kDistanceBase, kDistanceExtra, &g_distanceTable, &distanceBits);
  // Incomplete (the two unused 5-bit patterns) is expected here.
  if (result == kInflateBadBlock) {
    FreeDecodeTables();
    return result;
  }
  result = InflateCodes(g_literalTable, g_distanceTable, literalBits, distanceBits);
  FreeDecodeTables();
  return result != 0 ? kInflateBadData : kInflateOk;
}

// Reads the literal/length and distance code lengths of a dynamic block,
// coded with the code-length code. 0, or 1 for a malformed sequence.
int ReadCodeLengths(const DecodeEntry* table, uint32_t tableBits, uint16_t* lengths, uint32_t total) {
  if (table == nullptr) return kInflateBadData;
  LOAD_BITS();
  const uint32_t mask = ((1u << tableBits) - 1);
  uint32_t index = 0;
  uint16_t previous = 0;
  while (index < total) {
    DecodeEntry entry;
    LOOKUP(entry, table, mask);
    if (EntryOp(entry) == kOpInvalid) return kInflateBadData;
    DROP_BITS(EntryBits(entry));
    uint32_t symbol = EntryValue(entry);
    if (symbol < 16) {
      previous = static_cast<uint16_t>(symbol);
      lengths[index++] = previous;
      continue;
    }
    uint32_t repeat;
    uint16_t value = 0;
    if (symbol == 16) {
      NEED_BITS(2);
      repeat = 3 + (b & 3);
      DROP_BITS(2);
      value = previous;
    } else if (symbol == 17) {
      NEED_BITS(3);
      repeat = 3 + (b & 7);
      DROP_BITS(3);
    } else {
      NEED_BITS(7);
      repeat = 11 + (b & 0x7F);
      DROP_BITS(7);
    }
    if (index + repeat > total) return kInflateBadData;
    if (symbol != 16) previous = 0;
    while (repeat-- > 0) lengths[index++] = value;
  }
  SAVE_BITS();
  return kInflateOk;
}

// A block with its own codes, sent as code lengths in the block header.
int InflateDynamic() {
  LOAD_BITS();
  NEED_BITS(14);
  uint32_t literalCount = 257 + (b & 0x1F);
  DROP_BITS(5);
  uint32_t distanceCount = 1 + (b & 0x1F);
  DROP_BITS(5);
  uint32_t codeLengthCount = 4 + (b & 0xF);
  DROP_BITS(4);
  if (literalCount > 286 || distanceCount > 30) return kInflateBadData;

  uint16_t lengths[286 + 30];
  uint32_t j = 0;
  for (; j < codeLengthCount; ++j) {
    NEED_BITS(3);
    lengths[kCodeLengthOrder[j]] = static_cast<uint16_t>(b & 7);
    DROP_BITS(3);
  }
  for (; j < 19; ++j) lengths[kCodeLengthOrder[j]] = 0;
  SAVE_BITS();

  uint32_t tableBits = kCodeLengthLookupBits;
  int result = BuildDecodeTable(lengths, 19, 19, nullptr, nullptr, &g_codeLengthTable, &tableBits);
  if (result == 0) result = ReadCodeLengths(g_codeLengthTable, tableBits, lengths, literalCount + distanceCount);
  FreeDecodeTables();
  if (result != 0) return result;

  uint32_t literalBits = kLiteralLookupBits;
  uint32_t distanceBits = kDistanceLookupBits;
  result = BuildDecodeTable(lengths, literalCount, 257, kLengthBase, kLengthExtra, &g_literalTable, &literalBits);
  if (result == 0) {
    result = BuildDecodeTable(lengths + literalCount, distanceCount, 0, kDistanceBase, kDistanceExtra,
                              &g_distanceTable, &distanceBits);
  }
  // Unlike a fixed block, a dynamic block with an incomplete code is an error.
  if (result == 0 && InflateCodes(g_literalTable, g_distanceTable, literalBits, distanceBits) != 0) {
    result = kInflateBadData;
  }
  FreeDecodeTables();
  return result;
}

int InflateBlock(int* lastBlock) {
  LOAD_BITS();
  NEED_BITS(3);
  *lastBlock = static_cast<int>(b & 1);
  DROP_BITS(1);
  uint32_t type = b & 3;
  DROP_BITS(2);
  SAVE_BITS();
  switch (type) {
    case 2: return InflateDynamic();
    case 0: return InflateStored();
    case 1: return InflateFixed();
    default: return kInflateBadBlock;
  }
}

}  // namespace

void FreeDecodeTables() {
  FreeDecodeTable(g_codeLengthTable);
  FreeDecodeTable(g_literalTable);
  FreeDecodeTable(g_distanceTable);
  g_codeLengthTable = nullptr;
  g_literalTable = nullptr;
  g_distanceTable = nullptr;
}

int Inflate() {
  FreeDecodeTables();  // whatever an aborted stream left
  g_windowPosition = 0;
  g_bitCount = 0;
  g_bitBuffer = 0;
  g_fillerBits = 0;
  int lastBlock = 0;
  do {
    int result = InflateBlock(&lastBlock);
    if (result != 0) return result;  // what the window holds since the last emit stays there
  } while (lastBlock == 0);
  EmitWindow(static_cast<uint16_t>(g_windowPosition));
  return kInflateOk;
}

int InflateToMemory(const void* source, uint32_t sourceLength, void* destination, uint32_t capacity,
                    uint32_t* produced) {
  BeginMemoryInput(source, sourceLength);
  BeginMemoryOutput(destination, capacity);
  int result = Inflate();
  *produced = EndMemoryOutput();
  EndMemoryInput();
  return result;
}
