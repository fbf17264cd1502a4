// bench-zlib-inflate IN OUT: the zlib peer of arcula-inflate. Decodes the raw
// DEFLATE stream in IN with zlib and writes OUT the way a program built on
// zlib would: 64 KiB input reads, a 64 KiB output buffer, CRC-32 over each
// buffer's output, one write per buffer. Prints the CRC-32 of the output as 8
// lower-case hex digits. Exit status as arcula-inflate's: 0 ok, 1 invalid
// data or truncated stream, 2 invalid block type or over-subscribed code, 3 a
// file could not be read or written.
//
// The same source is built for the host and, by the cross build, as
// bench-zlib-inflate.exe for Wine (with MinGW's zlib).
#include <fcntl.h>
#include <zlib.h>

#ifdef _WIN32
#include <io.h>
// The C runtime's files are text files unless told otherwise.
const int kOpenFlags = O_BINARY;
#else
#include <unistd.h>
const int kOpenFlags = O_CLOEXEC;
#endif

#include <cstdio>
#include <cstring>

namespace {

const int kExitOk = 0;
const int kExitBadData = 1;
const int kExitBadBlock = 2;
const int kExitIoError = 3;
const size_t kBufferSize = 64 * 1024;

bool ReadAll(int fd, unsigned char* bytes, size_t count, size_t* got) {
  size_t done = 0;
  while (done < count) {
    int n = ::read(fd, bytes + done, static_cast<unsigned>(count - done));
    if (n < 0) return false;
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  *got = done;
  return true;
}

bool WriteAll(int fd, const unsigned char* bytes, size_t count) {
  size_t done = 0;
  while (done < count) {
    int n = ::write(fd, bytes + done, static_cast<unsigned>(count - done));
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// The decoder's two failure classes, told apart by zlib's message.
int DataErrorExit(const char* message) {
  if (message != nullptr &&
      (std::strstr(message, "invalid block type") != nullptr || std::strstr(message, "over-subscribed") != nullptr)) {
    return kExitBadBlock;
  }
  return kExitBadData;
}

// Inflates from in_fd to out_fd; *crc is the CRC-32 of what was written.
int Decode(int in_fd, int out_fd, uLong* crc) {
  static unsigned char input[kBufferSize];
  static unsigned char output[kBufferSize];
  z_stream stream;
  std::memset(&stream, 0, sizeof stream);
  if (inflateInit2(&stream, -15) != Z_OK) return kExitIoError;
  int result = kExitBadData;  // input ended before the stream did
  bool input_ended = false;
  for (;;) {
    if (stream.avail_in == 0 && !input_ended) {
      size_t got = 0;
      if (!ReadAll(in_fd, input, kBufferSize, &got)) { result = kExitIoError; break; }
      input_ended = got == 0;
      stream.next_in = input;
      stream.avail_in = static_cast<uInt>(got);
    }
    stream.next_out = output;
    stream.avail_out = kBufferSize;
    int status = inflate(&stream, Z_NO_FLUSH);
    size_t produced = kBufferSize - stream.avail_out;
    if (produced > 0) {
      *crc = crc32(*crc, output, static_cast<uInt>(produced));
      if (!WriteAll(out_fd, output, produced)) { result = kExitIoError; break; }
    }
    if (status == Z_STREAM_END) { result = kExitOk; break; }
    if (status == Z_DATA_ERROR) { result = DataErrorExit(stream.msg); break; }
    if (status == Z_BUF_ERROR && input_ended) break;
    if (status != Z_OK && status != Z_BUF_ERROR) { result = kExitIoError; break; }
  }
  inflateEnd(&stream);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: bench-zlib-inflate IN OUT\n");
    return kExitIoError;
  }
  int in_fd = ::open(argv[1], O_RDONLY | kOpenFlags);
  if (in_fd < 0) {
    std::fprintf(stderr, "bench-zlib-inflate: cannot read %s\n", argv[1]);
    return kExitIoError;
  }
  int out_fd = ::open(argv[2], O_WRONLY | O_CREAT | O_TRUNC | kOpenFlags, 0644);
  if (out_fd < 0) {
    std::fprintf(stderr, "bench-zlib-inflate: cannot create %s\n", argv[2]);
    return kExitIoError;
  }
  uLong crc = crc32(0, nullptr, 0);
  int result = Decode(in_fd, out_fd, &crc);
  if (::close(out_fd) != 0) result = kExitIoError;
  ::close(in_fd);
  if (result == kExitIoError) std::fprintf(stderr, "bench-zlib-inflate: input or output failed\n");
  std::printf("%08lx\n", crc);
  return result;
}
