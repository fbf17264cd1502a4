// arcula-inflate IN OUT: decodes the raw DEFLATE stream in IN with the stub's
// decoder, through the same input and output path an extracted entry takes
// (the archive input's refills; the window written to the file a block at a
// time, with its CRC-32), writes OUT and prints the CRC-32 of the output. Exit status: the decoder's result (0, 1 or
// 2), or 3 when a file cannot be read or written.
#include <sys/stat.h>

#include <cstdio>

#include "archive/input.h"
#include "archive/crc32.h"
#include "extract/extract.h"
#include "extract/output.h"
#include "inflate/inflate.h"
#include "platform/bytes.h"
#include "platform/files.h"
#include "base/abort.h"
#include "base/work_memory.h"

namespace {

const int kExitIoError = 3;

int Usage() {
  std::fprintf(stderr, "usage: arcula-inflate IN OUT\n"
                       "  Decodes the raw DEFLATE stream in IN into OUT and prints its CRC-32.\n"
                       "  Exit status: 0 ok, 1 or 2 invalid data, 3 a file could not be read or written.\n");
  return kExitIoError;
}

// Opens IN as the archive with its whole length as the entry's data.
bool OpenInput(const char* path) {
  struct stat status;
  if (::stat(path, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size > 0x7FFFFFFF) return false;
  g_archiveInput.handle = SysOpen(path, kOpenRead);
  if (g_archiveInput.handle == kFileError) return false;
  g_archiveInput.remainingCompressed = static_cast<uint32_t>(status.st_size);
  return true;
}

int Decode() {
  BeginUnboundedFileOutput();
  InflateIo io = EntryInflateIo();
  return Inflate(&io);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return Usage();
  BuildCrcTable();
  if (!AllocateWorkMemory()) return kExitIoError;
  if (!OpenInput(argv[1])) {
    std::fprintf(stderr, "arcula-inflate: cannot read %s\n", argv[1]);
    return kExitIoError;
  }
  CopyText(g_outputSink.path, argv[2], kPathBufferSize);
  g_outputSink.file = SysCreate(argv[2]);
  if (g_outputSink.file == kFileError) {
    std::fprintf(stderr, "arcula-inflate: cannot create %s\n", argv[2]);
    return kExitIoError;
  }
  // A failed read or write ends in a fatal error, which jumps back here.
  if (ARM_ABORT_POINT() != kJumpCompleted) {
    std::fprintf(stderr, "arcula-inflate: input or output failed\n");
    return kExitIoError;
  }
  int result = Decode();
  SysClose(g_outputSink.file);
  SysClose(g_archiveInput.handle);
  std::printf("%08x\n", 0xFFFFFFFFu - g_crc.running);
  FreeWorkMemory();
  return result;
}
