// ARCULA_ADDRESS_SANITIZER is 1 when this file is compiled under
// AddressSanitizer (and so with LeakSanitizer and the sanitizer's allocator
// counts), 0 otherwise. GCC says so with a macro of its own; clang only
// answers __has_feature.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#define ARCULA_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ARCULA_ADDRESS_SANITIZER 1
#endif
#endif

#ifndef ARCULA_ADDRESS_SANITIZER
#define ARCULA_ADDRESS_SANITIZER 0
#endif
