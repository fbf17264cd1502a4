// The saved execution context behind the abort point. Arming must happen in
// the frame that the jump returns to, so it is a macro, not a function.
// Both forms always deliver 1 to the arming call; the real jump code travels
// in a global (see base/abort.h).
#pragma once

#if defined(_WIN32)
typedef void* JumpBuffer[5];
#define ARM_JUMP(buffer) __builtin_setjmp(buffer)
#define TAKE_JUMP(buffer) __builtin_longjmp(buffer, 1)
#else
#include <setjmp.h>
typedef jmp_buf JumpBuffer;
#define ARM_JUMP(buffer) setjmp(buffer)
#define TAKE_JUMP(buffer) longjmp(buffer, 1)
#endif
