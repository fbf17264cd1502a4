#include "tests/support/deflate_writer.h"

namespace {

const uint32_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// Length codes 257..285 and distance codes 0..29: base and extra bits.
const uint32_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                  31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const uint32_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                   2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const uint32_t kDistanceBase[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                    33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                    1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const uint32_t kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                     6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

const uint32_t kEndOfBlock = 256;

}  // namespace

std::vector<HuffmanCode> CanonicalCodes(const std::vector<uint8_t>& lengths) {
  uint32_t countOfLength[16] = {0};
  for (uint8_t length : lengths) {
    if (length != 0) countOfLength[length]++;
  }
  uint32_t nextCode[16] = {0};
  uint32_t code = 0;
  for (uint32_t length = 1; length < 16; ++length) {
    code = (code + countOfLength[length - 1]) << 1;
    nextCode[length] = code;
  }
  std::vector<HuffmanCode> codes(lengths.size());
  for (size_t symbol = 0; symbol < lengths.size(); ++symbol) {
    uint32_t length = lengths[symbol];
    if (length == 0) continue;
    codes[symbol].length = length;
    codes[symbol].code = nextCode[length]++;
  }
  return codes;
}

std::vector<uint8_t> CompleteCodeLengths(uint32_t count) {
  if (count == 1) return {1};
  uint32_t bits = 0;
  while ((1u << bits) < count) ++bits;
  // (2^bits - count) symbols one bit shorter fill the space exactly.
  uint32_t shorter = (1u << bits) - count;
  std::vector<uint8_t> lengths(count, static_cast<uint8_t>(bits));
  for (uint32_t symbol = 0; symbol < shorter; ++symbol) lengths[symbol] = static_cast<uint8_t>(bits - 1);
  return lengths;
}

std::vector<uint8_t> FixedLiteralLengths() {
  std::vector<uint8_t> lengths(288);
  for (uint32_t symbol = 0; symbol < 288; ++symbol) {
    lengths[symbol] = symbol < 144 ? 8 : symbol < 256 ? 9 : symbol < 280 ? 7 : 8;
  }
  return lengths;
}

std::vector<uint8_t> FixedDistanceLengths() { return std::vector<uint8_t>(32, 5); }

void DeflateWriter::Bits(uint32_t value, uint32_t count) {
  for (uint32_t bit = 0; bit < count; ++bit) {
    pendingBits_ |= ((value >> bit) & 1) << pendingCount_;
    if (++pendingCount_ == 8) {
      bytes_.push_back(static_cast<uint8_t>(pendingBits_));
      pendingBits_ = 0;
      pendingCount_ = 0;
    }
  }
}

void DeflateWriter::Code(const HuffmanCode& code) {
  for (uint32_t bit = code.length; bit-- > 0;) Bits((code.code >> bit) & 1, 1);
}

void DeflateWriter::AlignToByte() {
  if (pendingCount_ != 0) Bits(0, 8 - pendingCount_);
}

void DeflateWriter::BlockHeader(bool last, uint32_t type) {
  Bits(last ? 1 : 0, 1);
  Bits(type, 2);
}

void DeflateWriter::StoredHeader(bool last, uint16_t length, uint16_t complement) {
  BlockHeader(last, 0);
  AlignToByte();
  Bits(length, 16);
  Bits(complement, 16);
}

void DeflateWriter::Bytes(const std::vector<uint8_t>& data) {
  for (uint8_t byte : data) Bits(byte, 8);
}

void DeflateWriter::StoredBlock(bool last, const std::vector<uint8_t>& data) {
  uint16_t length = static_cast<uint16_t>(data.size());
  StoredHeader(last, length, static_cast<uint16_t>(~length));
  Bytes(data);
  output_.insert(output_.end(), data.begin(), data.end());
}

void DeflateWriter::FixedHeader(bool last) {
  BlockHeader(last, 1);
  UseCodes(FixedLiteralLengths(), FixedDistanceLengths());
}

void DeflateWriter::DynamicCounts(bool last, uint32_t literalCount, uint32_t distanceCount,
                                  const std::vector<uint8_t>& codeLengthLengths) {
  BlockHeader(last, 2);
  Bits(literalCount - 257, 5);
  Bits(distanceCount - 1, 5);
  uint32_t sent = 4;
  for (uint32_t j = 0; j < 19; ++j) {
    if (codeLengthLengths[kCodeLengthOrder[j]] != 0 && j + 1 > sent) sent = j + 1;
  }
  Bits(sent - 4, 4);
  for (uint32_t j = 0; j < sent; ++j) Bits(codeLengthLengths[kCodeLengthOrder[j]], 3);
  codeLengthCodes_ = CanonicalCodes(codeLengthLengths);
}

void DeflateWriter::CodeLengthSymbol(uint32_t symbol, uint32_t extra) {
  Code(codeLengthCodes_[symbol]);
  if (symbol == 16) Bits(extra, 2);
  if (symbol == 17) Bits(extra, 3);
  if (symbol == 18) Bits(extra, 7);
}

void DeflateWriter::DynamicHeader(bool last, const std::vector<uint8_t>& literalLengths,
                                  const std::vector<uint8_t>& distanceLengths) {
  DynamicCounts(last, static_cast<uint32_t>(literalLengths.size()),
                static_cast<uint32_t>(distanceLengths.size()), CompleteCodeLengths(19));
  std::vector<uint8_t> all(literalLengths);
  all.insert(all.end(), distanceLengths.begin(), distanceLengths.end());
  // Runs may cross from the literal/length lengths into the distance ones.
  size_t i = 0;
  while (i < all.size()) {
    uint8_t length = all[i];
    size_t run = 1;
    while (i + run < all.size() && all[i + run] == length) ++run;
    if (length == 0 && run >= 11) {
      size_t taken = run < 138 ? run : 138;
      CodeLengthSymbol(18, static_cast<uint32_t>(taken - 11));
      i += taken;
    } else if (length == 0 && run >= 3) {
      size_t taken = run < 10 ? run : 10;
      CodeLengthSymbol(17, static_cast<uint32_t>(taken - 3));
      i += taken;
    } else if (length != 0 && run >= 4) {  // the length once, then repeats of it
      CodeLengthSymbol(length);
      size_t taken = run - 1 < 6 ? run - 1 : 6;
      CodeLengthSymbol(16, static_cast<uint32_t>(taken - 3));
      i += 1 + taken;
    } else {
      CodeLengthSymbol(length);
      i += 1;
    }
  }
  UseCodes(literalLengths, distanceLengths);
}

void DeflateWriter::UseCodes(const std::vector<uint8_t>& literalLengths,
                             const std::vector<uint8_t>& distanceLengths) {
  literalCodes_ = CanonicalCodes(literalLengths);
  distanceCodes_ = CanonicalCodes(distanceLengths);
}

void DeflateWriter::LiteralLengthSymbol(uint32_t symbol) { Code(literalCodes_[symbol]); }

void DeflateWriter::DistanceSymbol(uint32_t symbol) { Code(distanceCodes_[symbol]); }

void DeflateWriter::Literal(uint8_t byte) {
  LiteralLengthSymbol(byte);
  output_.push_back(byte);
}

void DeflateWriter::Literals(const std::vector<uint8_t>& bytes) {
  for (uint8_t byte : bytes) Literal(byte);
}

void DeflateWriter::EndOfBlock() { LiteralLengthSymbol(kEndOfBlock); }

void DeflateWriter::Match(uint32_t length, uint32_t distance) {
  uint32_t lengthCode = 28;
  while (kLengthBase[lengthCode] > length) --lengthCode;
  LiteralLengthSymbol(257 + lengthCode);
  Bits(length - kLengthBase[lengthCode], kLengthExtra[lengthCode]);
  uint32_t distanceCode = 29;
  while (kDistanceBase[distanceCode] > distance) --distanceCode;
  DistanceSymbol(distanceCode);
  Bits(distance - kDistanceBase[distanceCode], kDistanceExtra[distanceCode]);
  if (distance > output_.size()) return;
  for (uint32_t i = 0; i < length; ++i) output_.push_back(output_[output_.size() - distance]);
}

std::vector<uint8_t> DeflateWriter::Stream() const {
  std::vector<uint8_t> stream(bytes_);
  if (pendingCount_ != 0) stream.push_back(static_cast<uint8_t>(pendingBits_));
  return stream;
}
