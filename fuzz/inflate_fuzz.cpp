// Fuzz target for the DEFLATE decoder, differential against zlib.
//
// Each input is a raw DEFLATE stream. Our decoder unpacks it in memory
// into a bounded destination; zlib (raw inflate) decodes it as the oracle.
// Whenever zlib decodes the stream to its end within the bound, ours must
// return 0 with the same bytes. Whatever the input, ours must terminate
// without a memory error (ASan, UBSan) and without leaking decode tables.
//
// The input and the destination each end right before a page with no
// access, so a read past the input or a write past the destination's
// capacity faults at once, even where ASan's redzones would not reach.
// When zlib succeeded, the stream is decoded once more into a destination
// one byte too small: the decoder must stop exactly at its capacity.
#include <sys/mman.h>
#include <unistd.h>
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "archive/crc32.h"
#include "inflate/inflate.h"
#include "extract/output.h"
#include "base/abort.h"
#include "base/work_memory.h"

namespace {

const uint32_t kCapacity = 1 << 20;     // bound on the decoded size
const size_t kGuardedInputRoom = 1 << 20;  // larger inputs go unguarded (ASan still watches)
const int kAborted = -1;                // our decoder raised a fatal error

struct GuardedBlock {
  uint8_t* end;   // first byte of the no-access page
  size_t room;    // usable bytes before it
};

GuardedBlock g_input;
GuardedBlock g_destination;
uint8_t* g_expected;      // zlib's output
z_stream g_zlib;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "inflate_fuzz: %s\n", what);
  std::abort();
}

GuardedBlock MapGuarded(size_t room) {
  size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  size_t usable = (room + page - 1) / page * page;
  void* base = mmap(nullptr, usable + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                    -1, 0);
  if (base == MAP_FAILED) Fail("mmap failed");
  uint8_t* guard = static_cast<uint8_t*>(base) + usable;
  if (mprotect(guard, page, PROT_NONE) != 0) Fail("mprotect failed");
  return {guard, usable};
}

// zlib's verdict: true when the stream decodes to its end within kCapacity.
bool ZlibInflate(const uint8_t* data, size_t size, uint32_t* length) {
  if (inflateReset(&g_zlib) != Z_OK) Fail("inflateReset failed");
  g_zlib.next_in = const_cast<uint8_t*>(data);
  g_zlib.avail_in = static_cast<uInt>(size);
  g_zlib.next_out = g_expected;
  g_zlib.avail_out = kCapacity;
  int status = inflate(&g_zlib, Z_FINISH);
  *length = kCapacity - g_zlib.avail_out;
  return status == Z_STREAM_END;
}

// The arming call must sit in the frame the abort jumps back to; nothing
// here lives across the jump.
int OurInflate(const uint8_t* source, uint32_t sourceLength, uint8_t* destination,
               uint32_t capacity, uint32_t* produced) {
  *produced = 0;
  if (ARM_ABORT_POINT() != kJumpCompleted) return kAborted;
  // The window survives between streams; a fresh one per input keeps a
  // failing input reproducible on its own.
  std::memset(g_window, 0, kWindowAllocation);
  return InflateToMemory(source, sourceLength, destination, capacity, produced);
}

// Decodes into the last `capacity` bytes before the destination's guard page.
int DecodeAgainstGuard(const uint8_t* source, uint32_t sourceLength, uint32_t capacity,
                       uint8_t** output, uint32_t* produced) {
  *output = g_destination.end - capacity;
  int result = OurInflate(source, sourceLength, *output, capacity, produced);
  if (*produced > capacity) Fail("produced more than the destination holds");
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  BuildCrcTable();
  if (!AllocateWorkMemory()) Fail("no work memory");
  g_input = MapGuarded(kGuardedInputRoom);
  g_destination = MapGuarded(kCapacity);
  g_expected = static_cast<uint8_t*>(std::malloc(kCapacity));
  if (g_expected == nullptr) Fail("no memory for the oracle");
  if (inflateInit2(&g_zlib, -15) != Z_OK) Fail("inflateInit2 failed");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint8_t* source = data;
  if (size <= g_input.room) {
    uint8_t* placed = g_input.end - size;
    if (size != 0) std::memcpy(placed, data, size);
    source = placed;
  }
  uint32_t sourceLength = static_cast<uint32_t>(size);

  uint32_t expectedLength = 0;
  bool zlibDecoded = ZlibInflate(data, size, &expectedLength);

  uint8_t* output = nullptr;
  uint32_t produced = 0;
  int result = DecodeAgainstGuard(source, sourceLength, kCapacity, &output, &produced);
  if (!zlibDecoded) return 0;

  if (result != kInflateOk) Fail("zlib decodes the stream, ours does not return 0");
  if (produced != expectedLength) Fail("output length differs from zlib's");
  if (std::memcmp(output, g_expected, expectedLength) != 0) Fail("output differs from zlib's");

  if (expectedLength == 0) return 0;
  uint32_t shortCapacity = expectedLength - 1;
  DecodeAgainstGuard(source, sourceLength, shortCapacity, &output, &produced);
  if (produced != shortCapacity) Fail("a short destination was not filled to its capacity");
  if (std::memcmp(output, g_expected, shortCapacity) != 0) {
    Fail("a short destination got other bytes than zlib's");
  }
  return 0;
}
