// The decoder against zlib as the oracle: zlib compresses varied data (text,
// an executable, random bytes, long runs, nothing, exact window multiples) at
// every level and with every strategy, flushing in between and with small
// blocks, as raw DEFLATE; our decoder must return 0 with the same bytes and
// pull exactly the stream's length from the byte source, in memory and
// through the archive input and output file, where the CRC must match too.
#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "archive/input.h"
#include "archive/crc32.h"
#include "extract/extract.h"
#include "inflate/inflate.h"
#include "extract/output.h"
#include "platform/bytes.h"
#include "platform/files.h"
#include "base/abort.h"
#include "base/work_memory.h"
#include "tests/support/inflate_harness.h"
#include "tests/support/scratch_folder.h"

namespace {

typedef std::vector<uint8_t> Bytes;

Bytes ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes Random(size_t size, uint32_t seed) {
  Bytes bytes(size);
  uint32_t state = seed;
  for (size_t i = 0; i < size; ++i) {
    state = state * 1664525u + 1013904223u;
    bytes[i] = static_cast<uint8_t>(state >> 24);
  }
  return bytes;
}

// English text: the licence texts every Debian system carries, or a
// generated stand-in.
Bytes Text() {
  Bytes text;
  for (const char* name : {"GPL-3", "GPL-2", "Apache-2.0", "LGPL-2.1", "MPL-2.0", "GFDL-1.3"}) {
    Bytes file = ReadFile(std::string("/usr/share/common-licenses/") + name);
    text.insert(text.end(), file.begin(), file.end());
  }
  if (text.size() < 20000) {
    const std::string words[] = {"the ", "archive ", "window ", "of ", "and ", "decoder ", "stream.\n", "a "};
    Random(60000, 7).swap(text);
    std::string generated;
    for (uint8_t pick : text) generated += words[pick % 8];
    text.assign(generated.begin(), generated.end());
  }
  return text;
}

// Runs of one byte, of lengths from 1 to a few thousand.
Bytes Runs(size_t size) {
  Bytes runs;
  Bytes lengths = Random(size, 3);
  for (size_t i = 0; runs.size() < size; ++i) {
    size_t length = 1 + lengths[i] * (i % 3 == 0 ? 13 : 1);
    runs.insert(runs.end(), length, static_cast<uint8_t>(i % 5 == 0 ? 0 : lengths[i + 1]));
  }
  runs.resize(size);
  return runs;
}

Bytes Cycled(const Bytes& source, size_t size) {
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = source[i % source.size()];
  return bytes;
}

struct Sample {
  std::string name;
  Bytes data;
};

const std::vector<Sample>& Samples() {
  static const std::vector<Sample> samples = [] {
    Bytes text = Text();
    Bytes executable = ReadFile("/usr/bin/ls");
    if (executable.empty()) executable = ReadFile("/bin/ls");
    Bytes mixed = text;
    Bytes runs = Runs(40000);
    mixed.insert(mixed.end(), runs.begin(), runs.end());
    return std::vector<Sample>{
        {"text", text},
        {"executable", executable},
        {"random", Random(100000, 1)},
        {"long runs", Runs(150000)},
        {"0 bytes", {}},
        {"one byte", {'x'}},
        {"32768 bytes", Cycled(mixed, 32768)},
        {"65536 bytes", Cycled(mixed, 65536)},
        {"32769 bytes, random", Random(32769, 2)},
    };
  }();
  return samples;
}

struct Settings {
  int level;
  int strategy;
  int memLevel = 8;
  int flush = Z_NO_FLUSH;  // flush mode used between pieces
  size_t piece = 0;        // 0: the data in one piece
  std::string Name() const {
    return "level " + std::to_string(level) + " strategy " + std::to_string(strategy) + " memLevel " +
           std::to_string(memLevel) + " flush " + std::to_string(flush) + " every " + std::to_string(piece);
  }
};

std::vector<Settings> AllSettings() {
  std::vector<Settings> all;
  for (int strategy : {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED}) {
    for (int level = 0; level <= 9; ++level) all.push_back({level, strategy});
  }
  all.push_back({Z_DEFAULT_COMPRESSION, Z_DEFAULT_STRATEGY});
  // Many small dynamic blocks; flushes that put empty stored blocks and
  // empty fixed blocks mid-stream at every bit offset.
  all.push_back({6, Z_DEFAULT_STRATEGY, 1});
  all.push_back({9, Z_DEFAULT_STRATEGY, 1});
  all.push_back({6, Z_DEFAULT_STRATEGY, 8, Z_SYNC_FLUSH, 1000});
  all.push_back({1, Z_DEFAULT_STRATEGY, 8, Z_FULL_FLUSH, 4099});
  all.push_back({6, Z_DEFAULT_STRATEGY, 8, Z_PARTIAL_FLUSH, 777});
  all.push_back({9, Z_HUFFMAN_ONLY, 8, Z_BLOCK, 313});
  return all;
}

Bytes RawDeflate(const Bytes& data, const Settings& settings) {
  z_stream stream = {};
  EXPECT_EQ(deflateInit2(&stream, settings.level, Z_DEFLATED, -15, settings.memLevel, settings.strategy), Z_OK);
  Bytes packed(deflateBound(&stream, data.size()) + 1024 + data.size() / 50);
  stream.next_out = packed.data();
  stream.avail_out = static_cast<uInt>(packed.size());
  size_t done = 0;
  const size_t piece = settings.piece == 0 ? data.size() : settings.piece;
  for (;;) {
    size_t take = std::min(piece, data.size() - done);
    stream.next_in = const_cast<Bytef*>(data.data() + done);
    stream.avail_in = static_cast<uInt>(take);
    done += take;
    bool last = done == data.size();
    int status = deflate(&stream, last ? Z_FINISH : settings.flush);
    if (last) {
      EXPECT_EQ(status, Z_STREAM_END);
      break;
    }
    EXPECT_EQ(status, Z_OK);
    EXPECT_EQ(stream.avail_in, 0u);
  }
  packed.resize(stream.total_out);
  deflateEnd(&stream);
  return packed;
}

// How many bytes zlib takes of `block` to decode a raw stream to its end.
size_t ZlibStreamLength(const Bytes& block, size_t outputSize) {
  z_stream stream = {};
  EXPECT_EQ(inflateInit2(&stream, -15), Z_OK);
  Bytes output(outputSize + 1);
  stream.next_in = const_cast<Bytef*>(block.data());
  stream.avail_in = static_cast<uInt>(block.size());
  stream.next_out = output.data();
  stream.avail_out = static_cast<uInt>(output.size());
  EXPECT_EQ(inflate(&stream, Z_FINISH), Z_STREAM_END);
  size_t used = stream.total_in;
  inflateEnd(&stream);
  return used;
}

uint32_t ZlibCrc(const Bytes& data) {
  return static_cast<uint32_t>(crc32(crc32(0, nullptr, 0), data.data(), static_cast<uInt>(data.size())));
}

struct FileDecode {
  int jumpCode = kJumpCompleted;
  int result = -1;
  uint32_t crc = 0;
  uint32_t unpulled = 0;  // bytes of the input file left unread by the decoder
};

// Decodes the input file as the whole data of an entry, as arcula-inflate
// does: the archive input's refills, the window written to the output file
// with its CRC.
FileDecode DecodeThroughFiles(const std::string& inPath, const std::string& outPath) {
  FileDecode decoded;
  g_archiveInput.handle = SysOpen(inPath.c_str(), kOpenRead);
  EXPECT_NE(g_archiveInput.handle, kFileError);
  g_archiveInput.remainingCompressed = static_cast<uint32_t>(ReadFile(inPath).size());
  CopyText(g_outputSink.path, outPath.c_str(), kPathBufferSize);
  g_outputSink.file = SysCreate(outPath.c_str());
  EXPECT_NE(g_outputSink.file, kFileError);
  BeginUnboundedFileOutput();
  g_jumpCode = kJumpCompleted;
  if (ARM_ABORT_POINT() != kJumpCompleted) {
    decoded.jumpCode = g_jumpCode;
  } else {
    InflateIo io = EntryInflateIo();
    decoded.result = Inflate(&io);
    decoded.crc = 0xFFFFFFFF - g_crc.running;
    decoded.unpulled = g_archiveInput.remainingCompressed + static_cast<uint32_t>(io.inputCount);
  }
  SysClose(g_outputSink.file);
  SysClose(g_archiveInput.handle);
  g_outputSink.file = 0;
  g_archiveInput.handle = 0;
  g_archiveInput.remainingCompressed = 0;
  return decoded;
}

class InflateZlib : public testing::Test {
 protected:
  void SetUp() override {
    BuildCrcTable();
    ASSERT_TRUE(AllocateWorkMemory());
  }
  void TearDown() override { FreeWorkMemory(); }
};

TEST_F(InflateZlib, SameBytesAndExactlyTheStreamPulled) {
  ScratchFolder folder;
  const std::string inPath = folder.Join("stream.deflate");
  const std::string outPath = folder.Join("output");
  for (const Sample& sample : Samples()) {
    const uint32_t crc = ZlibCrc(sample.data);
    for (const Settings& settings : AllSettings()) {
      SCOPED_TRACE(sample.name + ", " + settings.Name());
      const Bytes stream = RawDeflate(sample.data, settings);

      MemoryDecode inMemory = DecodeInMemory(stream, static_cast<uint32_t>(sample.data.size()));
      ASSERT_EQ(inMemory.result, 0);
      ASSERT_TRUE(inMemory.output == sample.data);
      ASSERT_EQ(inMemory.pulled, stream.size());
      ASSERT_EQ(inMemory.inputLeft, 0);

      WriteFile(inPath, stream);
      FileDecode throughFiles = DecodeThroughFiles(inPath, outPath);
      ASSERT_EQ(throughFiles.jumpCode, kJumpCompleted);
      ASSERT_EQ(throughFiles.result, 0);
      ASSERT_EQ(throughFiles.crc, crc);
      ASSERT_EQ(throughFiles.unpulled, 0u);
      ASSERT_TRUE(ReadFile(outPath) == sample.data);
    }
  }
}

// With more bytes behind the stream in the same block (or file), the decoder
// stops where zlib stops: the bytes behind stay unpulled.
TEST_F(InflateZlib, BytesBehindTheStreamStayUnpulled) {
  ScratchFolder folder;
  const std::string inPath = folder.Join("stream.deflate");
  const std::string outPath = folder.Join("output");
  const Bytes behind = Random(64, 99);
  for (const Sample& sample : Samples()) {
    for (const Settings& settings : AllSettings()) {
      SCOPED_TRACE(sample.name + ", " + settings.Name());
      const Bytes stream = RawDeflate(sample.data, settings);
      Bytes block = stream;
      block.insert(block.end(), behind.begin(), behind.end());
      ASSERT_EQ(ZlibStreamLength(block, sample.data.size()), stream.size());

      MemoryDecode inMemory = DecodeInMemory(block, static_cast<uint32_t>(sample.data.size()));
      EXPECT_EQ(inMemory.result, 0);
      EXPECT_TRUE(inMemory.output == sample.data);
      EXPECT_EQ(inMemory.pulled, stream.size());

      WriteFile(inPath, block);
      FileDecode throughFiles = DecodeThroughFiles(inPath, outPath);
      EXPECT_EQ(throughFiles.result, 0);
      EXPECT_EQ(throughFiles.unpulled, behind.size());
    }
  }
}

}  // namespace
