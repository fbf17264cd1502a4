// The DEFLATE decoder.
//
// Shape: every Huffman code of a block becomes a multi-level lookup table
// (inflate/decode_tables.h), built when the block starts and freed when it
// ends. The first level is indexed by 9 stream bits for dynamic
// literal/length codes, 6 for dynamic distances, 7 and 5 for the fixed
// codes, 7 for the code-length code.
//
// Input: bytes are pulled one at a time (PullFrom), only when a field needs
// them, so that a stream pulls exactly its own length from the input and
// leaves whatever follows it. A code lookup pulls a byte only
// while the code found is longer than the bits at hand. (Where the input
// holds enough, the codes of a block take bytes ahead, a word at a
// time, and give back what they did not use: see DecodeFast and
// TOP_UP_BITS.) At the end of the input the
// missing bytes count as zero bits of filler; consuming any filler bit means
// the stream was cut short, and the decoder stops with result 1 instead of
// decoding the filler for ever.
//
// Output: a 32 KiB circular window, handed to the output call whenever it is
// full and once more with its fill count at the end of a successful stream.
#include "inflate/inflate.h"

#include "inflate/decode_tables.h"
#include "platform/bytes.h"
#include "base/work_memory.h"

namespace {

// The decoder's state, carried from block to block of one stream.
struct InflateState {
  InflateIo* io;            // the stream's input and output
  uint32_t bitBuffer;       // bits not yet consumed; the next stream bit is bit 0
  uint32_t bitCount;        // valid bits in bitBuffer
  uint32_t fillerBits;      // bits at the top of bitBuffer that came from past the end
  uint32_t windowPosition;  // next byte to write in the window (0..0x7FFF)
  // The tables of the block being decoded. They live here, not in the block
  // routines' frames: an abort (a read error, a cancel) can leave a block at
  // any point, and the next stream or shutdown frees what it left behind.
  DecodeEntry* codeLengthTable;
  DecodeEntry* literalTable;
  DecodeEntry* distanceTable;
};

InflateState g_inflate;

void FreeBlockTables() {
  FreeDecodeTable(g_inflate.codeLengthTable);
  FreeDecodeTable(g_inflate.literalTable);
  FreeDecodeTable(g_inflate.distanceTable);
  g_inflate.codeLengthTable = nullptr;
  g_inflate.literalTable = nullptr;
  g_inflate.distanceTable = nullptr;
}

}  // namespace

void ResetInflate() {
  FreeBlockTables();
  g_inflate.io = nullptr;
  g_inflate.bitBuffer = 0;
  g_inflate.bitCount = 0;
  g_inflate.fillerBits = 0;
  g_inflate.windowPosition = 0;
}

namespace {

// The low n bits of a value (n = 0..16).
inline uint32_t LowBits(uint32_t value, uint32_t n) { return value & ((1u << n) - 1); }

const uint16_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5,
                                       11, 4, 12, 3, 13, 2, 14, 1, 15};

// Length codes 257..287; 286 and 287 are invalid (99 extra bits).
constexpr uint16_t kLengthBase[31] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27, 31,
                                      35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258, 0,  0};
constexpr uint16_t kLengthExtra[31] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2,
                                       3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0, 99, 99};
const uint32_t kValidLengthCodes = 29;

// Distance codes 0..29; 30 and 31 have no entry and decode as invalid codes.
constexpr uint16_t kDistanceBase[30] = {1,    2,    3,    4,    5,    7,     9,     13,    17,  25,
                                        33,   49,   65,   97,   129,  193,   257,   385,   513, 769,
                                        1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr uint16_t kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                         6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

const uint32_t kLiteralLookupBits = 9;
const uint32_t kDistanceLookupBits = 6;
const uint32_t kFixedLiteralLookupBits = 7;
const uint32_t kFixedDistanceLookupBits = 5;
const uint32_t kCodeLengthLookupBits = 7;

// A code table's verdict is the block's result: an incomplete code is bad
// data, an over-subscribed one a bad block.
static_assert(kCodeComplete == kInflateOk && kCodeIncomplete == kInflateBadData &&
                  kCodeOverSubscribed == kInflateBadBlock,
              "BuildDecodeTable's verdicts double as the decoder's results");

// --- The sizes the loops rely on ---------------------------------------------
// The margins below are worked out from these, so that each can be checked
// where it is used.

constexpr uint32_t LargestOf(const uint16_t* values, uint32_t count) {
  uint32_t largest = 0;
  for (uint32_t i = 0; i < count; ++i) largest = values[i] > largest ? values[i] : largest;
  return largest;
}

// The longest match a length code with its extra bits can give.
constexpr uint32_t LongestMatch() {
  uint32_t longest = 0;
  for (uint32_t i = 0; i < kValidLengthCodes; ++i) {
    uint32_t length = kLengthBase[i] + (1u << kLengthExtra[i]) - 1;
    longest = length > longest ? length : longest;
  }
  return longest;
}

constexpr uint32_t BytesFor(uint32_t bits) { return (bits + 7) / 8; }

const uint32_t kMaxLengthExtraBits = LargestOf(kLengthExtra, kValidLengthCodes);  // 5
const uint32_t kMaxDistanceExtraBits = LargestOf(kDistanceExtra, 30);             // 13
const uint32_t kMaxMatchLength = LongestMatch();                                  // 258
// A literal/length code with a length's extra bits, and a distance code with
// its extra bits: together the most a match takes of the stream.
const uint32_t kMaxLengthBits = kMaxCodeBits + kMaxLengthExtraBits;      // 20
const uint32_t kMaxDistanceBits = kMaxCodeBits + kMaxDistanceExtraBits;  // 28

// --- Bit input -------------------------------------------------------------
// The routines below keep the bit state and the input cursor in locals
// (LOAD_BITS) and store them back (SAVE_BITS) before another routine takes
// over. NEED_BITS pulls whole bytes until n bits are there; DROP_BITS
// consumes n bits and stops the stream with result 1 if any of them was
// filler from past the end of the input.

// Where the input stands: the cursor and the bytes left at it. The decoder
// keeps its own copies in locals, so that they can live in registers, and
// hands them to PullFrom by value.
struct InputPlace {
  const uint8_t* in;
  int32_t available;
};

// The place behind the input's next byte, which is then at in[-1]; at the
// end of the input, a count below zero and the cursor as it was.
InputPlace PullFrom(InputPlace place) {
  if (place.available <= 0) {
    InflateIo* io = g_inflate.io;
    int32_t got = io->refillInput(io);
    if (got <= 0) return InputPlace{place.in, -1};
    place = InputPlace{io->input, got};
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

#define LOAD_BITS()                             \
  uint32_t b = g_inflate.bitBuffer;             \
  uint32_t k = g_inflate.bitCount;              \
  uint32_t filler = g_inflate.fillerBits;       \
  const uint8_t* in = g_inflate.io->input;      \
  int32_t available = g_inflate.io->inputCount

#define SAVE_BITS()                        \
  do {                                     \
    g_inflate.bitBuffer = b;               \
    g_inflate.bitCount = k;                \
    g_inflate.fillerBits = filler;         \
    g_inflate.io->input = in;              \
    g_inflate.io->inputCount = available;  \
  } while (0)

// While the input holds more than a round of the careful codes loop can take
// (kTopUpMargin), the bit buffer is topped up from it a word at a time,
// without PullFrom's checks, to at least kTopUpBits bits. The word's bits
// above the whole bytes taken are those of the next byte, at the very places
// where that byte goes when it is taken, so they do no harm while at least
// the bits a field needs are there. Below that margin the bytes are pulled
// one at a time as fields need them, as everywhere else. A round that began
// with the margin never empties the input, so it never refills it, and the
// whole bytes in the bit buffer have all come from the input as it stands:
// GIVE_BACK_BYTES returns them to it (and clears the bits above the count)
// before a block ends or the careful pulls take over, so that the stream
// never takes more than its own bytes from the input.
const uint32_t kTopUpBits = 24;
// A top-up takes at most this many bytes: it ORs a 32-bit word in above the
// k bits held and counts the whole bytes up to bit 31, (31 - k) / 8 of them.
// (For any k below 32, k | kTopUpBits is k plus the bits of those bytes.)
const uint32_t kTopUpBytes = 31 / 8;

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
      k |= kTopUpBits;                                       \
    }                                                        \
  } while (0)

#define GIVE_BACK_BYTES()                     \
  do {                                        \
    in -= k >> 3;                             \
    available += static_cast<int32_t>(k >> 3); \
    k &= 7;                                   \
    b = LowBits(b, k);                        \
  } while (0)

// A careful round tops up before the literal/length code and before the
// distance code. The first top-up holds the code and a length's extra bits,
// so nothing is pulled for them.
static_assert(kMaxLengthBits <= kTopUpBits, "a top-up holds a literal/length code and its extra bits");
// After the second, the distance code and its extra bits may want one byte
// more.
const uint32_t kDistancePartBytes = kTopUpBytes + BytesFor(kMaxDistanceBits - kTopUpBits);
// When the input falls below the margin there, they are pulled one at a time
// onto the bits the first top-up left over: no more bytes than that.
static_assert(BytesFor(kMaxDistanceBits - (kTopUpBits - kMaxLengthBits)) <= kDistancePartBytes,
              "pulling the distance takes no more than topping up for it");
// More than a round takes (7 bytes); enough for the top-up's 4-byte load too.
const int32_t kTopUpMargin = static_cast<int32_t>(kTopUpBytes + kDistancePartBytes + 1);
static_assert(kTopUpMargin >= 4, "a top-up loads 4 bytes");

// Hands the first `count` bytes of the window to the stream's output.
void EmitWindow(uint32_t count) {
  InflateIo* io = g_inflate.io;
  io->takeOutput(io, g_window, count);
}

// Writes one byte to the window, emitting the window when it is full.
#define PUT_BYTE(position, byte)          \
  do {                                    \
    window[position++] = (byte);          \
    if (position == kWindowSize) {        \
      EmitWindow(kWindowSize);            \
      position = 0;                       \
    }                                     \
  } while (0)

// --- Match copies ------------------------------------------------------------

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
      EmitWindow(kWindowSize);
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

// --- The codes of a block ----------------------------------------------------

// The codes loop keeps its bits in a machine word: 64 bits on a 64-bit host,
// where one refill holds a whole match, 32 on the stub's target, where it
// holds a length with its extra bits and is refilled for the distance.
// Between blocks and routines the buffer holds fewer than 8 bits
// (GIVE_BACK_BYTES), so the other routines' 32-bit buffer takes them as they are.
typedef uintptr_t BitWord;
const uint32_t kWordBits = sizeof(BitWord) * 8;

inline BitWord LoadWord(const uint8_t* bytes) {
  BitWord word;
  CopyBytes(&word, bytes, sizeof(word));  // little-endian, unaligned loads are fine
  return word;
}

// The fast loop's top-up: as TOP_UP_BITS, a whole word, to at least
// kRefilledBits bits, taking at most kRefillBytes bytes, without looking at
// the count: the loop only runs while the input holds what a round's refills
// read (kFastInputMargin). (For a count k below kRefilledBits,
// k | kRefilledBits is k's bits below 8 on top of kRefilledBits: k plus the
// bits of the whole bytes taken.)
const uint32_t kRefilledBits = kWordBits - 8;
const uint32_t kRefillBytes = (kWordBits - 1) / 8;

#define REFILL_WORD()                                  \
  do {                                                 \
    b |= LoadWord(in) << k;                            \
    in += (kWordBits - 1 - k) >> 3;                    \
    k |= kRefilledBits;                                \
  } while (0)

// The bits the fast loop wants in the buffer before it decodes a literal or
// length: with a 64-bit buffer a whole match, so that one refill serves the
// match or two or three literals; with a 32-bit buffer a length code and its
// extra bits, the distance being refilled for.
const uint32_t kFastWantedBits = kWordBits >= 64 ? kMaxLengthBits + kMaxDistanceBits : kMaxLengthBits;
static_assert(kMaxLengthBits <= kFastWantedBits, "the first code of a round and its extra bits need no refill");
static_assert(kFastWantedBits <= kRefilledBits, "a refill brings what the loop wants");
static_assert(kMaxDistanceExtraBits <= kRefilledBits, "a refill brings a distance's extra bits");

// A round (a literal, then with a 64-bit buffer a second literal or a
// match; or a match) refills at three places: before the literal/length code
// (below kFastWantedBits), before the distance code and before the
// distance's extra bits, each when the bits at hand may be too few. When a
// refill holds a literal, a length with its extra bits and a distance code,
// the first refill rules out the second; when it holds a distance code with
// its extra bits, the second rules out the third. Both hold for a 64-bit
// buffer, which then refills at most twice a round.
const bool kRefillHoldsLiteralAndLength = kRefilledBits >= kMaxCodeBits + kMaxLengthBits + kMaxCodeBits;
const bool kRefillHoldsDistance = kRefilledBits >= kMaxDistanceBits;
const uint32_t kFastRefillsPerRound = kRefillHoldsLiteralAndLength && kRefillHoldsDistance ? 2 : 3;

// The fast loop runs while a round fits without a look at either end. The
// input holds what the round's refills read: each refill loads a word where
// the ones before it left the cursor (15 bytes with a 64-bit buffer, 10 with
// a 32-bit one).
const int32_t kFastInputMargin = static_cast<int32_t>((kFastRefillsPerRound - 1) * kRefillBytes + sizeof(BitWord));

// The window has room for the most a round writes, a literal and the
// longest match, with a byte to spare: a round never fills it, so the fast
// loop never has to hand it on.
const uint32_t kFastWindowRoom = 1 + kMaxMatchLength + 1;

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
    if (k < kMaxCodeBits) REFILL_WORD();  // only a 32-bit buffer runs short here
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
  BitWord b = g_inflate.bitBuffer;
  uint32_t k = g_inflate.bitCount;
  uint32_t filler = g_inflate.fillerBits;
  const uint8_t* in = g_inflate.io->input;
  int32_t available = g_inflate.io->inputCount;
  uint32_t position = g_inflate.windowPosition;
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
  g_inflate.windowPosition = position;
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
  uint32_t position = g_inflate.windowPosition;
  uint8_t* const window = g_window;
  while (length > 0) {
    InputPlace pulled = PullFrom(InputPlace{in, available});
    if (pulled.available < 0) return kInflateBadData;  // ends inside the block
    in = pulled.in;
    available = pulled.available;
    PUT_BYTE(position, in[-1]);
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
        EmitWindow(kWindowSize);
        position = 0;
      }
    }
  }
  SAVE_BITS();
  g_inflate.windowPosition = position;
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
  int result = BuildDecodeTable(lengths, 288, 257, kLengthBase, kLengthExtra, &g_inflate.literalTable, &literalBits);
  if (result != 0) return result;

  for (symbol = 0; symbol < 30; ++symbol) lengths[symbol] = 5;
  uint32_t distanceBits = kFixedDistanceLookupBits;
  result = BuildDecodeTable(lengths, 30, 0, kDistanceBase, kDistanceExtra, &g_inflate.distanceTable, &distanceBits);
  // Incomplete (the two unused 5-bit patterns) is expected here.
  if (result == kInflateBadBlock) {
    FreeBlockTables();
    return result;
  }
  result = InflateCodes(g_inflate.literalTable, g_inflate.distanceTable, literalBits, distanceBits);
  FreeBlockTables();
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
  int result = BuildDecodeTable(lengths, 19, 19, nullptr, nullptr, &g_inflate.codeLengthTable, &tableBits);
  if (result == 0) {
    result = ReadCodeLengths(g_inflate.codeLengthTable, tableBits, lengths, literalCount + distanceCount);
  }
  FreeBlockTables();
  if (result != 0) return result;

  uint32_t literalBits = kLiteralLookupBits;
  uint32_t distanceBits = kDistanceLookupBits;
  result = BuildDecodeTable(lengths, literalCount, 257, kLengthBase, kLengthExtra, &g_inflate.literalTable,
                            &literalBits);
  if (result == 0) {
    result = BuildDecodeTable(lengths + literalCount, distanceCount, 0, kDistanceBase, kDistanceExtra,
                              &g_inflate.distanceTable, &distanceBits);
  }
  // Unlike a fixed block, a dynamic block with an incomplete code is an error.
  if (result == 0 && InflateCodes(g_inflate.literalTable, g_inflate.distanceTable, literalBits, distanceBits) != 0) {
    result = kInflateBadData;
  }
  FreeBlockTables();
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

int Inflate(InflateIo* io) {
  ResetInflate();  // whatever an aborted stream left
  g_inflate.io = io;
  int lastBlock = 0;
  do {
    int result = InflateBlock(&lastBlock);
    if (result != kInflateOk) return result;  // what the window holds since the last emit stays there
  } while (lastBlock == 0);
  EmitWindow(g_inflate.windowPosition);
  return kInflateOk;
}

namespace {

// A block in memory is the whole input: it ends where it ends.
int32_t NoMoreInput(InflateIo*) { return 0; }

void CopyToDestination(InflateIo* io, const uint8_t* bytes, uint32_t count) {
  MemoryDestination* destination = static_cast<MemoryDestination*>(io->owner);
  if (count > destination->room) count = destination->room;
  CopyBytes(destination->cursor, bytes, count);
  destination->cursor += count;
  destination->room -= count;
}

}  // namespace

InflateIo MemoryInflateIo(const void* source, uint32_t sourceLength, MemoryDestination* destination) {
  return InflateIo{static_cast<const uint8_t*>(source), static_cast<int32_t>(sourceLength), NoMoreInput,
                   CopyToDestination, destination};
}

int InflateToMemory(const void* source, uint32_t sourceLength, void* destination, uint32_t capacity,
                    uint32_t* produced) {
  MemoryDestination memory = {static_cast<uint8_t*>(destination), capacity};
  InflateIo io = MemoryInflateIo(source, sourceLength, &memory);
  int result = Inflate(&io);
  *produced = static_cast<uint32_t>(memory.cursor - static_cast<uint8_t*>(destination));
  return result;
}
