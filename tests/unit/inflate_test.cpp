// The DEFLATE decoder on hand-made streams: one table of edge streams, each
// with its result and the output that reaches the destination, decoded whole
// and cut short; the window's old content between streams; the bound of a
// destination in memory; and BuildDecodeTable's verdicts on code-length sets.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "archive/crc32.h"
#include "inflate/decode_tables.h"
#include "inflate/inflate.h"
#include "base/work_memory.h"
#include "tests/support/deflate_writer.h"
#include "tests/support/inflate_harness.h"

namespace {

typedef std::vector<uint8_t> Bytes;

// Bytes that do not repeat within a window, so a copy from the wrong place
// shows.
Bytes Pattern(size_t size, uint32_t seed) {
  Bytes bytes(size);
  uint32_t state = seed * 2654435761u + 1;
  for (size_t i = 0; i < size; ++i) {
    state = state * 1103515245u + 12345u;
    bytes[i] = static_cast<uint8_t>(state >> 23);
  }
  return bytes;
}

Bytes Text(const char* text) { return Bytes(text, text + std::char_traits<char>::length(text)); }

Bytes Slice(const Bytes& bytes, size_t from, size_t count) {
  return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
               bytes.begin() + static_cast<std::ptrdiff_t>(from + count));
}

struct EdgeStream {
  std::string name;
  Bytes stream;
  int result;
  Bytes output;  // for a failing stream: what was emitted before the failure
};

EdgeStream Valid(const std::string& name, const DeflateWriter& writer) {
  return {name, writer.Stream(), 0, writer.Output()};
}

EdgeStream Invalid(const std::string& name, const DeflateWriter& writer, int result, Bytes emitted = {}) {
  return {name, writer.Stream(), result, emitted};
}

// A literal/length code over every symbol 0..285 and a distance code over
// all 30 distances, both complete.
std::vector<uint8_t> AllLiterals() { return CompleteCodeLengths(286); }
std::vector<uint8_t> AllDistances() { return CompleteCodeLengths(30); }

// The code-length code used by rows that write their code lengths by hand:
// a complete code over all 19 symbols.
std::vector<uint8_t> AllCodeLengthSymbols() { return CompleteCodeLengths(19); }

// Lengths of a literal/length code with two 1-bit codes, 'a' and end of block.
std::vector<uint8_t> LetterAndEnd() {
  std::vector<uint8_t> lengths(257, 0);
  lengths['a'] = 1;
  lengths[256] = 1;
  return lengths;
}

// The 257 literal/length code lengths of LetterAndEnd, sent with repeats;
// the caller then sends the distance code length (or an overlong repeat).
void SendLetterAndEndLengths(DeflateWriter& w) {
  w.DynamicCounts(true, 257, 1, AllCodeLengthSymbols());
  w.CodeLengthSymbol(18, 97 - 11);  // 0..96
  w.CodeLengthSymbol(1);            // 'a'
  w.CodeLengthSymbol(18, 138 - 11);
  w.CodeLengthSymbol(17, 10 - 3);
  w.CodeLengthSymbol(17, 10 - 3);  // 98..255
  w.CodeLengthSymbol(1);           // end of block
}

void AddStoredAndFixedRows(std::vector<EdgeStream>& rows) {
  {
    DeflateWriter w;
    w.StoredBlock(true, {});
    rows.push_back(Valid("one last stored block with LEN 0", w));
  }
  {
    DeflateWriter w;
    w.StoredHeader(true, 5, static_cast<uint16_t>(~5 ^ 0x0100));
    w.Bytes(Text("hello"));
    rows.push_back(Invalid("stored block: NLEN not the complement of LEN", w, 1));
  }
  {
    DeflateWriter w;
    w.BlockHeader(true, 3);
    w.Bits(0, 16);
    rows.push_back(Invalid("block type 3", w, 2));
  }
  {
    DeflateWriter w;
    w.StoredBlock(false, Pattern(33000, 1));
    w.BlockHeader(true, 3);
    w.Bits(0, 16);
    // The full window went out before the bad block; the rest never does.
    rows.push_back(Invalid("block type 3 after a full window", w, 2, Slice(Pattern(33000, 1), 0, 32768)));
  }
  for (uint32_t symbol : {286u, 287u}) {
    DeflateWriter w;
    w.FixedHeader(true);
    w.Literal('a');
    w.LiteralLengthSymbol(symbol);
    w.DistanceSymbol(0);
    w.EndOfBlock();
    rows.push_back(Invalid("fixed block: length code " + std::to_string(symbol), w, 1));
  }
  for (uint32_t symbol : {30u, 31u}) {
    DeflateWriter w;
    w.FixedHeader(true);
    w.Literal('a');
    w.LiteralLengthSymbol(257);
    w.DistanceSymbol(symbol);
    w.EndOfBlock();
    rows.push_back(Invalid("fixed block: distance code " + std::to_string(symbol), w, 1));
  }
  {
    DeflateWriter w;
    w.StoredBlock(false, Pattern(32768 + 5, 2));
    w.FixedHeader(true);
    w.Literal('a');
    w.LiteralLengthSymbol(286);
    rows.push_back(Invalid("invalid code after a full window", w, 1, Slice(Pattern(32768 + 5, 2), 0, 32768)));
  }
  {
    DeflateWriter w;
    w.FixedHeader(true);
    w.Literals(Text("xy"));
    w.Match(258, 1);  // code 285: 258 with no extra bits
    w.Literal('z');
    w.EndOfBlock();
    rows.push_back(Valid("length code 285 is 258; distance 1 repeats the last byte", w));
  }
  {
    // Every distance up to 17 with lengths around each copy width: the
    // source overlaps the bytes being written.
    DeflateWriter w;
    w.FixedHeader(true);
    w.Literals(Text("abcdefghijklmnopq"));
    for (uint32_t distance = 1; distance <= 17; ++distance) {
      for (uint32_t length : {3u, 4u, 5u, 7u, 8u, 9u, 15u, 16u, 17u, 31u, 32u, 33u, 258u}) {
        w.Match(length, distance);
        w.Literal(static_cast<uint8_t>(distance));
      }
    }
    w.EndOfBlock();
    rows.push_back(Valid("overlapping copies: distances 1..17, lengths 3..258", w));
  }
  {
    DeflateWriter w;
    w.FixedHeader(true);
    for (uint32_t byte = 0; byte < 256; ++byte) w.Literal(static_cast<uint8_t>(byte));
    // Every length code at its smallest value, then at its largest.
    const uint32_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                      31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    for (uint32_t code = 0; code < 29; ++code) {
      uint32_t largest = code == 28 ? 258 : code == 27 ? 257 : kLengthBase[code + 1] - 1;
      w.Match(kLengthBase[code], 1);
      w.Match(largest, 2);
    }
    w.EndOfBlock();
    rows.push_back(Valid("fixed block: every literal and every length code", w));
  }
  {
    // Distances of every code at both ends of their ranges, the last ones
    // reaching back a full window.
    const uint32_t kDistanceBase[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                        33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                        1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
    DeflateWriter w;
    w.StoredBlock(false, Pattern(32768, 3));
    w.FixedHeader(true);
    for (uint32_t code = 0; code < 30; ++code) {
      uint32_t largest = code == 29 ? 32768 : kDistanceBase[code + 1] - 1;
      w.Match(3, kDistanceBase[code]);
      w.Match(4, largest);
    }
    w.EndOfBlock();
    rows.push_back(Valid("fixed block: every distance code at both ends, up to 32768", w));
  }
  {
    DeflateWriter w;
    w.StoredBlock(true, Pattern(32768, 4));
    rows.push_back(Valid("stored: exactly 32768 bytes, one full window", w));
  }
  {
    DeflateWriter w;
    w.FixedHeader(true);
    w.Literal('q');
    for (int i = 0; i < 127; ++i) w.Match(258, 1);
    w.Literal('r');
    w.EndOfBlock();
    rows.push_back(Valid("matches: exactly 32768 bytes, one full window", w));
  }
  {
    DeflateWriter w;
    w.FixedHeader(true);
    w.Literals(Text("qrs"));
    for (int i = 0; i < 253; ++i) w.Match(258, 3);
    w.Match(256, 3);
    w.Match(3, 3);
    w.EndOfBlock();
    rows.push_back(Valid("matches: exactly 65536 bytes, two full windows", w));
  }
  {
    DeflateWriter w;
    w.StoredBlock(false, Pattern(32700, 5));
    w.FixedHeader(true);
    w.Match(258, 300);  // written across the end of the window
    w.Literal('!');
    w.EndOfBlock();
    rows.push_back(Valid("a match written across the end of the window", w));
  }
  {
    DeflateWriter w;
    w.StoredBlock(false, Pattern(32768 - 258, 14));
    w.FixedHeader(true);
    w.Match(258, 1000);  // fills the window exactly
    w.Literal('!');
    w.Match(10, 1);
    w.EndOfBlock();
    rows.push_back(Valid("a match that ends exactly at the end of the window", w));
  }
  {
    DeflateWriter w;
    w.StoredBlock(false, Pattern(32768 + 50, 6));
    w.FixedHeader(true);
    w.Match(258, 100);  // read across the end of the window
    w.Match(40, 60);    // read from the old end and the new start
    w.EndOfBlock();
    rows.push_back(Valid("a match read across the end of the window", w));
  }
  {
    DeflateWriter w;
    w.StoredBlock(false, Pattern(32768 + 10, 7));
    w.FixedHeader(true);
    w.Match(258, 32700);  // the source lies ahead of the position and overlaps it
    w.Match(258, 32767);
    w.EndOfBlock();
    rows.push_back(Valid("a match from old window content just ahead of the position", w));
  }
  {
    // Stored blocks after fixed ones at every bit offset: the bytes already
    // in the bit buffer are LEN's, not lost.
    DeflateWriter w;
    for (uint32_t literals = 0; literals < 9; ++literals) {
      w.FixedHeader(false);
      w.Literals(Slice(Text("abcdefghi"), 0, literals));
      w.EndOfBlock();
      w.StoredBlock(false, Pattern(literals + 1, 8));
    }
    w.StoredBlock(false, {});
    w.DynamicHeader(false, AllLiterals(), AllDistances());
    w.Literals(Text("dynamic"));
    w.Match(20, 7);
    w.EndOfBlock();
    w.FixedHeader(false);
    w.EndOfBlock();
    w.DynamicHeader(true, AllLiterals(), AllDistances());
    w.Match(30, 1);
    w.EndOfBlock();
    rows.push_back(Valid("blocks of every type in one stream, stored ones at every bit offset", w));
  }
  {
    DeflateWriter w;
    w.StoredHeader(true, 100, static_cast<uint16_t>(~100));
    w.Bytes(Pattern(10, 9));
    rows.push_back(Invalid("stored block longer than the input", w, 1));
  }
  {
    DeflateWriter w;
    w.StoredBlock(false, Text("abc"));
    rows.push_back(Invalid("the input ends after a block that is not the last", w, 1));
  }
  {
    DeflateWriter w;
    w.FixedHeader(true);
    w.Literals(Text("abc"));
    rows.push_back(Invalid("fixed block without its end-of-block code", w, 1));
  }
}

void AddDynamicRows(std::vector<EdgeStream>& rows) {
  {
    DeflateWriter w;
    w.StoredBlock(false, Pattern(32768 + 1000, 10));
    w.DynamicHeader(true, AllLiterals(), AllDistances());
    w.Match(258, 32768);
    w.Match(3, 32768);
    w.Literal(0xFF);
    w.EndOfBlock();
    rows.push_back(Valid("dynamic: HLIT 29 and HDIST 29 (286 and 30 codes), distance 32768", w));
  }
  {
    // Codes of every length from 1 to 15 bits: deep next-level tables.
    std::vector<uint8_t> literals(286, 0);
    const uint32_t kSymbols[16] = {'e', 't', 'a', 'o', 'i', 'n', 's', 'h', 'r', 257, 258, 265, 285, 256, 0, 255};
    for (uint32_t i = 0; i < 16; ++i) literals[kSymbols[i]] = static_cast<uint8_t>(i < 15 ? i + 1 : 15);
    std::vector<uint8_t> distances(30, 0);
    for (uint32_t i = 0; i < 16; ++i) distances[i] = static_cast<uint8_t>(i < 15 ? i + 1 : 15);
    DeflateWriter w;
    w.DynamicHeader(true, literals, distances);
    w.Literals(Text("etaoinshr"));
    w.Literal(0);
    w.Literal(255);
    w.Match(258, 4);
    w.Match(12, 3);
    w.Match(4, 2);
    w.Match(3, 1);
    for (uint32_t distance : {6u, 8u, 12u, 16u, 24u, 32u, 48u, 64u, 96u, 128u, 192u, 256u}) w.Match(3, distance);
    w.Literal('e');
    w.EndOfBlock();
    rows.push_back(Valid("dynamic: codes of every length from 1 to 15 bits", w));
  }
  {
    // The end-of-block code is far shorter than the first lookup level: the
    // stream's last bits are fewer than a lookup takes.
    std::vector<uint8_t> literals(257, 0);
    literals[256] = 1;
    literals['a'] = 2;
    literals['b'] = 3;
    for (uint32_t symbol = 128; symbol < 256; ++symbol) literals[symbol] = 10;
    DeflateWriter w;
    w.DynamicHeader(true, literals, {0});
    w.Literals(Text("ab\xC8\x80\xFF"));
    w.EndOfBlock();
    rows.push_back(Valid("dynamic: a 1-bit end-of-block code among 10-bit codes", w));
  }
  for (uint32_t literalCount : {287u, 288u}) {
    DeflateWriter w;
    w.DynamicHeader(true, CompleteCodeLengths(literalCount), AllDistances());
    w.Literals(Text("abc"));
    w.EndOfBlock();
    rows.push_back(Invalid("dynamic: HLIT " + std::to_string(literalCount - 257), w, 1));
  }
  for (uint32_t distanceCount : {31u, 32u}) {
    DeflateWriter w;
    w.DynamicHeader(true, AllLiterals(), CompleteCodeLengths(distanceCount));
    w.Literals(Text("abc"));
    w.EndOfBlock();
    rows.push_back(Invalid("dynamic: HDIST " + std::to_string(distanceCount - 1), w, 1));
  }
  {
    DeflateWriter w;
    w.DynamicHeader(true, AllLiterals(), {0, 0, 0, 1});  // one 1-bit code: distance 4
    w.Literals(Text("abcd"));
    w.Match(10, 4);
    w.EndOfBlock();
    rows.push_back(Valid("dynamic: a single 1-bit distance code is accepted", w));
  }
  {
    DeflateWriter w;
    w.DynamicHeader(true, AllLiterals(), {0, 0, 0, 1});
    w.Literals(Text("abcd"));
    w.LiteralLengthSymbol(257);
    w.Bits(1, 1);  // the unused pattern of the 1-bit code
    w.EndOfBlock();
    rows.push_back(Invalid("dynamic: the unused pattern of a single 1-bit distance code", w, 1));
  }
  {
    DeflateWriter w;
    w.DynamicHeader(true, AllLiterals(), {0, 0, 0, 2});
    w.Literals(Text("abcd"));
    w.Match(10, 4);
    w.EndOfBlock();
    rows.push_back(Invalid("dynamic: a single 2-bit distance code (incomplete)", w, 1));
  }
  {
    std::vector<uint8_t> literals = AllLiterals();
    literals['~'] = 0;
    DeflateWriter w;
    w.DynamicHeader(true, literals, AllDistances());
    w.Literals(Text("abc"));
    w.EndOfBlock();
    rows.push_back(Invalid("dynamic: incomplete literal/length code", w, 1));
  }
  {
    std::vector<uint8_t> literals(257, 0);
    literals[256] = 1;
    DeflateWriter w;
    w.DynamicHeader(true, literals, {0});
    w.EndOfBlock();
    rows.push_back(Valid("dynamic: a literal/length code of one 1-bit code (end of block)", w));
  }
  {
    std::vector<uint8_t> literals = AllLiterals();
    literals['~'] = 1;
    DeflateWriter w;
    w.DynamicHeader(true, literals, AllDistances());
    w.Literals(Text("abc"));
    w.EndOfBlock();
    rows.push_back(Invalid("dynamic: over-subscribed literal/length code", w, 2));
  }
  {
    DeflateWriter w;
    w.DynamicHeader(true, AllLiterals(), {1, 1, 1});
    w.Literals(Text("abc"));
    w.EndOfBlock();
    rows.push_back(Invalid("dynamic: over-subscribed distance code", w, 2));
  }
  {
    std::vector<uint8_t> codeLengths(19, 0);
    codeLengths[0] = codeLengths[8] = codeLengths[18] = 1;
    DeflateWriter w;
    w.DynamicCounts(true, 257, 1, codeLengths);
    w.Bits(0, 32);
    rows.push_back(Invalid("dynamic: over-subscribed code-length code", w, 2));
  }
  {
    std::vector<uint8_t> codeLengths(19, 0);
    codeLengths[0] = codeLengths[1] = 2;
    DeflateWriter w;
    w.DynamicCounts(true, 257, 1, codeLengths);
    w.Bits(0, 32);
    rows.push_back(Invalid("dynamic: incomplete code-length code", w, 1));
  }
  {
    DeflateWriter w;
    w.DynamicHeader(true, AllLiterals(), {0});
    w.Literals(Text("only literals"));
    w.EndOfBlock();
    rows.push_back(Valid("dynamic: literals only, one distance code length of 0", w));
  }
  {
    // 16 letters and end of block; the zero lengths run on from the
    // literal/length lengths into all 30 distance lengths, and the last
    // repeat ends exactly at the end.
    std::vector<uint8_t> literals(257, 0);
    std::vector<uint8_t> lengths = CompleteCodeLengths(17);
    for (uint32_t i = 0; i < 16; ++i) literals['a' + i] = lengths[i];
    literals[256] = lengths[16];
    DeflateWriter w;
    w.DynamicHeader(true, literals, std::vector<uint8_t>(30, 0));
    w.Literals(Text("abcdefghijklmnop"));
    w.EndOfBlock();
    rows.push_back(Valid("dynamic: literals only, a zero run ending exactly at the last distance", w));
  }
  {
    DeflateWriter w;
    w.DynamicHeader(true, AllLiterals(), {0});
    w.Literals(Text("ab"));
    w.LiteralLengthSymbol(257);
    w.Bits(0, 16);
    rows.push_back(Invalid("dynamic: a length code where there is no distance code", w, 1));
  }
  {
    DeflateWriter w;
    w.DynamicCounts(true, 257, 1, AllCodeLengthSymbols());
    w.CodeLengthSymbol(18, 138 - 11);
    w.CodeLengthSymbol(18, 120 - 11);  // all 258 lengths 0
    w.UseCodes({}, {});
    w.Bits(0, 32);
    rows.push_back(Invalid("dynamic: an empty literal/length code", w, 1));
  }
  {
    DeflateWriter w;
    w.DynamicCounts(true, 257, 1, std::vector<uint8_t>(19, 0));
    w.Bits(0, 32);
    rows.push_back(Invalid("dynamic: an empty code-length code", w, 1));
  }
  {
    std::vector<uint8_t> codeLengths(19, 0);
    codeLengths[0] = 1;  // one 1-bit code: the pattern 1 is unused
    DeflateWriter w;
    w.DynamicCounts(true, 257, 1, codeLengths);
    w.Bits(0, 1);
    w.Bits(1, 1);
    w.Bits(0, 32);
    rows.push_back(Invalid("dynamic: the unused pattern of the code-length code", w, 1));
  }
  {
    // Symbol 1 has the only code-length code, 0; the unused pattern 1 stands
    // where the zero lengths go. Taken as any symbol, the rest would decode.
    std::vector<uint8_t> codeLengths(19, 0);
    codeLengths[1] = 1;
    DeflateWriter w;
    w.DynamicCounts(true, 257, 1, codeLengths);
    for (uint32_t symbol = 0; symbol < 258; ++symbol) w.Bits(symbol == 'a' || symbol == 256 ? 0 : 1, 1);
    w.UseCodes(LetterAndEnd(), {0});
    w.Literals(Text("aa"));
    w.EndOfBlock();
    rows.push_back(Invalid("dynamic: the unused code-length pattern where lengths of 0 belong", w, 1));
  }
  {
    DeflateWriter w;
    SendLetterAndEndLengths(w);
    w.CodeLengthSymbol(0);  // the one distance code length
    w.UseCodes(LetterAndEnd(), {0});
    w.Literals(Text("aa"));
    w.EndOfBlock();
    rows.push_back(Valid("dynamic: code lengths sent with zero repeats 17 and 18", w));
  }
  {
    // A 16 before any length repeats the initial previous length, 0.
    DeflateWriter w;
    w.DynamicCounts(true, 257, 1, AllCodeLengthSymbols());
    w.CodeLengthSymbol(16, 0);        // 0..2
    w.CodeLengthSymbol(18, 94 - 11);  // 3..96
    w.CodeLengthSymbol(1);            // 'a'
    w.CodeLengthSymbol(18, 138 - 11);
    w.CodeLengthSymbol(17, 10 - 3);
    w.CodeLengthSymbol(17, 10 - 3);
    w.CodeLengthSymbol(1);
    w.CodeLengthSymbol(0);
    w.UseCodes(LetterAndEnd(), {0});
    w.Literals(Text("aaa"));
    w.EndOfBlock();
    rows.push_back(Valid("dynamic: a repeat 16 first repeats length 0", w));
  }
  for (uint32_t symbol : {16u, 17u, 18u}) {
    DeflateWriter w;
    SendLetterAndEndLengths(w);
    w.CodeLengthSymbol(symbol, 0);  // at least 3 lengths where 1 is left
    w.UseCodes(LetterAndEnd(), {0});
    w.Literals(Text("aa"));
    w.EndOfBlock();
    rows.push_back(Invalid("dynamic: repeat " + std::to_string(symbol) + " past the last length", w, 1));
  }
}

std::vector<EdgeStream> EdgeStreams() {
  std::vector<EdgeStream> rows;
  AddStoredAndFixedRows(rows);
  AddDynamicRows(rows);
  return rows;
}

class Inflate : public testing::Test {
 protected:
  void SetUp() override {
    BuildCrcTable();
    ASSERT_TRUE(AllocateWorkMemory());
  }
  void TearDown() override { FreeWorkMemory(); }
};

// Whole streams: the result, every byte emitted and no more, nothing written
// behind the destination, and for a valid stream exactly its own bytes
// pulled from the byte source.
TEST_F(Inflate, EdgeStreams) {
  for (const EdgeStream& row : EdgeStreams()) {
    SCOPED_TRACE(row.name);
    // Room for one window more than expected, so a surplus emit shows.
    MemoryDecode decoded = DecodeInMemory(row.stream, static_cast<uint32_t>(row.output.size() + kWindowSize));
    EXPECT_EQ(decoded.result, row.result);
    EXPECT_EQ(decoded.output.size(), row.output.size());
    EXPECT_TRUE(decoded.output == row.output);
    EXPECT_TRUE(decoded.canaryIntact);
    if (row.result == 0) {
      EXPECT_EQ(decoded.pulled, row.stream.size());
      EXPECT_EQ(decoded.inputLeft, 0);
    }
  }
}

// Bytes behind a valid stream are not part of it and stay in the source.
TEST_F(Inflate, EdgeStreamsLeaveFollowingBytesUnpulled) {
  for (const EdgeStream& row : EdgeStreams()) {
    if (row.result != 0) continue;
    SCOPED_TRACE(row.name);
    Bytes block = row.stream;
    Bytes following = Pattern(16, 11);
    block.insert(block.end(), following.begin(), following.end());
    MemoryDecode decoded = DecodeInMemory(block, static_cast<uint32_t>(row.output.size()));
    EXPECT_EQ(decoded.result, 0);
    EXPECT_TRUE(decoded.output == row.output);
    EXPECT_EQ(decoded.pulled, row.stream.size());
    EXPECT_EQ(decoded.inputLeft, 16);
  }
}

// A valid stream cut anywhere is a stream that ends before its last block:
// result 1, at once, with only whole windows emitted.
TEST_F(Inflate, EdgeStreamsCutShort) {
  for (const EdgeStream& row : EdgeStreams()) {
    if (row.result != 0) continue;
    SCOPED_TRACE(row.name);
    const size_t size = row.stream.size();
    for (size_t cut = 0; cut < size; ++cut) {
      // Long streams: both ends in full, the middle sampled.
      if (size > 600 && cut >= 300 && cut + 300 < size && cut % 997 != 0) continue;
      SCOPED_TRACE("cut at " + std::to_string(cut));
      MemoryDecode decoded =
          DecodeInMemory(Slice(row.stream, 0, cut), static_cast<uint32_t>(row.output.size() + kWindowSize));
      ASSERT_EQ(decoded.result, 1);
      ASSERT_EQ(decoded.output.size() % kWindowSize, 0u);
      ASSERT_LE(decoded.output.size(), row.output.size());
      ASSERT_TRUE(std::equal(decoded.output.begin(), decoded.output.end(), row.output.begin()));
      ASSERT_TRUE(decoded.canaryIntact);
    }
  }
}

// A distance before the start of the stream is not an error: it reads the
// window as earlier streams left it, zeros where none wrote since start-up.
TEST_F(Inflate, DistanceBeforeTheStreamReadsTheWindowsOldContent) {
  DeflateWriter fresh;
  fresh.FixedHeader(true);
  fresh.Match(5, 100);
  fresh.Literal('x');
  fresh.EndOfBlock();
  MemoryDecode decoded = DecodeInMemory(fresh.Stream(), 100);
  EXPECT_EQ(decoded.result, 0);
  EXPECT_TRUE(decoded.output == Bytes({0, 0, 0, 0, 0, 'x'}));

  Bytes earlier = Pattern(32000, 12);
  DeflateWriter first;
  first.StoredBlock(true, earlier);
  ASSERT_EQ(DecodeInMemory(first.Stream(), 32000).result, 0);

  DeflateWriter second;
  second.FixedHeader(true);
  second.Literal('y');
  second.Match(200, 1001);  // from the window position 1 - 1001, byte 31768 of the earlier stream
  second.EndOfBlock();
  decoded = DecodeInMemory(second.Stream(), 1000);
  EXPECT_EQ(decoded.result, 0);
  Bytes expected = {'y'};
  expected.insert(expected.end(), earlier.begin() + 31768, earlier.begin() + 31768 + 200);
  EXPECT_TRUE(decoded.output == expected);
}

// Decoding into memory stops at the destination's size: never a byte behind it.
TEST_F(Inflate, MemoryModeIsBoundedByTheCapacity) {
  const uint8_t kGuard = 0x5A;
  DeflateWriter stored;
  stored.StoredBlock(true, Pattern(40000, 13));
  DeflateWriter matches;
  matches.FixedHeader(true);
  matches.Literals(Text("bound"));
  for (int i = 0; i < 200; ++i) matches.Match(258, 5);
  matches.EndOfBlock();
  for (const DeflateWriter* writer : {&stored, &matches}) {
    const Bytes stream = writer->Stream();
    const Bytes& full = writer->Output();
    for (uint32_t capacity : {0u, 1u, 100u, 2048u, 32767u, 32768u, 32769u, 40000u}) {
      SCOPED_TRACE("capacity " + std::to_string(capacity) + " of " + std::to_string(full.size()));
      Bytes destination(capacity + 32, kGuard);
      uint32_t produced = 0xFFFFFFFF;
      InflateToMemory(stream.data(), static_cast<uint32_t>(stream.size()), destination.data(), capacity,
                      &produced);
      uint32_t expected = std::min<uint32_t>(capacity, static_cast<uint32_t>(full.size()));
      EXPECT_EQ(produced, expected);
      EXPECT_TRUE(std::equal(destination.begin(), destination.begin() + expected, full.begin()));
      EXPECT_TRUE(std::all_of(destination.begin() + capacity, destination.end(),
                              [&](uint8_t byte) { return byte == kGuard; }));
    }
  }
}

struct TableCase {
  const char* name;
  std::vector<uint16_t> lengths;
  uint32_t lookupBits;  // asked for
  int result;
  uint32_t lookupBitsUsed;
};

// BuildDecodeTable's verdict on a set of code lengths, and the first-level
// width it settles on (clamped to the lengths present).
TEST_F(Inflate, BuildDecodeTableVerdicts) {
  const TableCase cases[] = {
      {"complete", {2, 1, 3, 3}, 7, 0, 3},
      {"incomplete", {2, 1, 3}, 7, 1, 3},
      {"over-subscribed", {1, 1, 1}, 7, 2, 1},
      {"over-subscribed at the longest length", {1, 2, 2, 2}, 7, 2, 2},
      {"one 1-bit code counts as complete", {0, 1, 0}, 9, 0, 1},
      {"one 2-bit code is incomplete", {0, 2}, 9, 1, 2},
      {"lookup raised to the shortest length", {0, 9, 9, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8,
                                                 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8},
       5, 1, 8},
      {"15-bit codes", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 15}, 9, 0, 9},
  };
  for (const TableCase& c : cases) {
    SCOPED_TRACE(c.name);
    DecodeEntry* table = nullptr;
    uint32_t bits = c.lookupBits;
    int result = BuildDecodeTable(c.lengths.data(), static_cast<uint32_t>(c.lengths.size()),
                                  static_cast<uint32_t>(c.lengths.size()), nullptr, nullptr, &table, &bits);
    EXPECT_EQ(result, c.result);
    if (result != 2) {
      EXPECT_EQ(bits, c.lookupBitsUsed);
      EXPECT_NE(table, nullptr);
    }
    FreeDecodeTable(result == 2 ? nullptr : table);
  }

  const uint16_t none[5] = {0, 0, 0, 0, 0};
  DecodeEntry dummy[1];
  DecodeEntry* table = dummy;  // must be overwritten
  uint32_t bits = 7;
  EXPECT_EQ(BuildDecodeTable(none, 5, 5, nullptr, nullptr, &table, &bits), 0);
  EXPECT_EQ(table, nullptr);
  EXPECT_EQ(bits, 0u);
  FreeDecodeTable(nullptr);  // null is ignored
}

}  // namespace
