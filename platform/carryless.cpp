#include "platform/carryless.h"

#include <cpuid.h>
#include <emmintrin.h>
#include <wmmintrin.h>

bool SysCanMultiplyWithoutCarry() {
  unsigned int eax = 0;
  unsigned int ebx = 0;
  unsigned int ecx = 0;
  unsigned int edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return false;
  return (ecx & bit_PCLMUL) != 0 && (edx & bit_SSE2) != 0;
}

// Compiled for these instructions alone: the rest of the program runs on
// processors without them, and only calls this after asking.
__attribute__((target("sse2,pclmul"))) void SysFoldBlocks(const uint8_t* bytes, uint32_t blocks,
                                                          uint32_t preset, const uint64_t multipliers[2],
                                                          uint8_t folded[16]) {
  const __m128i lanes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(multipliers));
  __m128i value = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)),
                                _mm_cvtsi32_si128(static_cast<int>(preset)));
  while (--blocks > 0) {
    bytes += 16;
    __m128i low = _mm_clmulepi64_si128(value, lanes, 0x00);
    __m128i high = _mm_clmulepi64_si128(value, lanes, 0x11);
    value = _mm_xor_si128(_mm_xor_si128(low, high), _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)));
  }
  _mm_storeu_si128(reinterpret_cast<__m128i*>(folded), value);
}
