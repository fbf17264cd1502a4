// A small DEFLATE bit writer for hand-made test streams: fields least
// significant bit first, Huffman codes most significant bit first, stored,
// fixed and dynamic block headers, and canonical codes from code lengths.
// Nothing is checked: malformed streams are what most tests want. Beside the
// stream the writer keeps the output the stream stands for (as far as its
// literals, matches and stored bytes define it), so a test can compare the
// decoder's output with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct HuffmanCode {
  uint32_t code = 0;    // the code value, most significant bit sent first
  uint32_t length = 0;  // 0: the symbol has no code
};

// The canonical codes of a set of code lengths (0 = no code), assigned as
// RFC 1951 section 3.2.2 does. Over-subscribed or incomplete sets still get
// codes by that rule, for writing malformed streams.
std::vector<HuffmanCode> CanonicalCodes(const std::vector<uint8_t>& lengths);

// Code lengths of a complete code over `count` symbols: the shortest codes
// that fill the code space exactly; a single symbol gets one 1-bit code.
std::vector<uint8_t> CompleteCodeLengths(uint32_t count);

// The fixed literal/length code lengths (288) and distance code lengths (32).
std::vector<uint8_t> FixedLiteralLengths();
std::vector<uint8_t> FixedDistanceLengths();

class DeflateWriter {
 public:
  // `count` bits of `value`, least significant first (count 0..32).
  void Bits(uint32_t value, uint32_t count);
  // A Huffman code, most significant bit first.
  void Code(const HuffmanCode& code);
  // Zero bits up to the next byte boundary.
  void AlignToByte();

  // Block header: BFINAL and BTYPE (3 is written as asked).
  void BlockHeader(bool last, uint32_t type);

  // A whole stored block holding `data`.
  void StoredBlock(bool last, const std::vector<uint8_t>& data);
  // The header of a stored block with LEN and NLEN as given; the caller
  // writes the bytes (with Bytes) or leaves them out.
  void StoredHeader(bool last, uint16_t length, uint16_t complement);
  // Whole bytes; the stream must be at a byte boundary.
  void Bytes(const std::vector<uint8_t>& data);

  // A fixed-code block header; literals and matches then use the fixed codes.
  void FixedHeader(bool last);

  // A dynamic block header for these literal/length and distance code
  // lengths: HLIT and HDIST from the sizes, the code-length code a complete
  // code over all 19 symbols, the lengths run-length coded with 16, 17, 18.
  // Literals and matches then use these codes.
  void DynamicHeader(bool last, const std::vector<uint8_t>& literalLengths,
                     const std::vector<uint8_t>& distanceLengths);

  // The fields of a dynamic header as they stand, for malformed headers:
  // the number of literal/length and distance codes (HLIT + 257, HDIST + 1,
  // written in 5 bits each whatever they are), and the code-length code
  // lengths by symbol (19), of which HCLEN covers all up to the last non-zero
  // one in the transmission order (at least 4). The code lengths follow with
  // CodeLengthSymbol, and UseCodes sets the codes for the block's data.
  void DynamicCounts(bool last, uint32_t literalCount, uint32_t distanceCount,
                     const std::vector<uint8_t>& codeLengthLengths);
  // One code-length symbol (0..18) and, for 16, 17 and 18, its extra bits.
  void CodeLengthSymbol(uint32_t symbol, uint32_t extra = 0);
  void UseCodes(const std::vector<uint8_t>& literalLengths, const std::vector<uint8_t>& distanceLengths);

  // Block data with the current codes.
  void Literal(uint8_t byte);
  void Literals(const std::vector<uint8_t>& bytes);
  void EndOfBlock();
  // A match of 3..258 bytes at distance 1..32768 (code and extra bits found
  // here). The kept output copies from itself when the distance reaches that
  // far back; otherwise it is left as it is (the test knows what the window
  // holds).
  void Match(uint32_t length, uint32_t distance);
  // A literal/length symbol or a distance symbol as it stands (0..287, 0..31),
  // without extra bits.
  void LiteralLengthSymbol(uint32_t symbol);
  void DistanceSymbol(uint32_t symbol);

  // The stream so far, its last byte padded with zero bits.
  std::vector<uint8_t> Stream() const;
  // The output the stream stands for.
  const std::vector<uint8_t>& Output() const { return output_; }

 private:
  std::vector<uint8_t> bytes_;
  uint32_t pendingBits_ = 0;   // bits not yet forming a whole byte
  uint32_t pendingCount_ = 0;  // 0..7
  std::vector<HuffmanCode> literalCodes_;
  std::vector<HuffmanCode> distanceCodes_;
  std::vector<HuffmanCode> codeLengthCodes_;
  std::vector<uint8_t> output_;
};
