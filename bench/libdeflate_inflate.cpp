// bench-libdeflate-inflate IN OUT [SIZE]: the libdeflate peer of
// arcula-inflate, at its fastest: reads the whole raw DEFLATE stream from IN,
// decodes it in one call into one buffer, takes its CRC-32 and writes it to
// OUT in one go. SIZE, the expected output size, lets the buffer be right the
// first time; without it the buffer starts at 4 times the input and doubles
// until the output fits. Prints the CRC-32 of the output as 8 lower-case hex
// digits. Exit status as arcula-inflate's: 0 ok, 1 invalid or truncated data,
// 3 a file could not be read or written or memory ran out.
#include <fcntl.h>
#include <libdeflate.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

const int kExitOk = 0;
const int kExitBadData = 1;
const int kExitIoError = 3;

bool ReadFile(const char* path, std::vector<unsigned char>* bytes) {
  int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat status;
  bool ok = ::fstat(fd, &status) == 0;
  if (ok) bytes->resize(static_cast<size_t>(status.st_size));
  size_t done = 0;
  while (ok && done < bytes->size()) {
    ssize_t n = ::read(fd, bytes->data() + done, bytes->size() - done);
    if (n <= 0) ok = false;
    else done += static_cast<size_t>(n);
  }
  ::close(fd);
  return ok;
}

bool WriteFile(const char* path, const unsigned char* bytes, size_t count) {
  int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  size_t done = 0;
  bool ok = true;
  while (ok && done < count) {
    ssize_t n = ::write(fd, bytes + done, count - done);
    if (n <= 0) ok = false;
    else done += static_cast<size_t>(n);
  }
  return ::close(fd) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: bench-libdeflate-inflate IN OUT [SIZE]\n");
    return kExitIoError;
  }
  std::vector<unsigned char> input;
  if (!ReadFile(argv[1], &input)) {
    std::fprintf(stderr, "bench-libdeflate-inflate: cannot read %s\n", argv[1]);
    return kExitIoError;
  }
  size_t capacity = argc == 4 ? std::strtoull(argv[3], nullptr, 10) : 4 * input.size();
  if (capacity == 0) capacity = 4096;

  libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
  if (decompressor == nullptr) return kExitIoError;
  // Not a std::vector: its resize would zero the whole buffer first, work
  // that the decoder's own stores make useless.
  unsigned char* output = nullptr;
  size_t produced = 0;
  libdeflate_result status = LIBDEFLATE_INSUFFICIENT_SPACE;
  while (status == LIBDEFLATE_INSUFFICIENT_SPACE) {
    std::free(output);
    output = static_cast<unsigned char*>(std::malloc(capacity));
    if (output == nullptr) return kExitIoError;
    status = libdeflate_deflate_decompress(decompressor, input.data(), input.size(), output, capacity, &produced);
    capacity *= 2;
  }
  libdeflate_free_decompressor(decompressor);
  if (status != LIBDEFLATE_SUCCESS) produced = 0;

  unsigned crc = libdeflate_crc32(0, output, produced);
  if (!WriteFile(argv[2], output, produced)) {
    std::fprintf(stderr, "bench-libdeflate-inflate: cannot write %s\n", argv[2]);
    return kExitIoError;
  }
  std::free(output);
  std::printf("%08x\n", crc);
  return status == LIBDEFLATE_SUCCESS ? kExitOk : kExitBadData;
}
