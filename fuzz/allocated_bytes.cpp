#include "fuzz/allocated_bytes.h"

#include "fuzz/address_sanitizer.h"

#if ARCULA_ADDRESS_SANITIZER
// GCC ships no header that declares it, though its runtime has it.
extern "C" size_t __sanitizer_get_current_allocated_bytes();

size_t AllocatedBytes() { return __sanitizer_get_current_allocated_bytes(); }
#else
size_t AllocatedBytes() { return 0; }
#endif
