# Warnings are errors everywhere: the stub has no room for surprises.
set(ARCULA_WARNINGS -Wall -Wextra -Werror)

# Flags for code that runs inside the stub. Exceptions and RTTI are off (the
# abort path is a non-local jump), and GCC must not turn hand-written loops
# into calls to memset/memcpy/strlen, which a stub without a C runtime lacks.
set(ARCULA_STUB_CXX_FLAGS
  -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -fno-stack-protector)
# GCC's own flag; clang (the fuzzing build, never the stub) knows no such option.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  list(APPEND ARCULA_STUB_CXX_FLAGS -fno-tree-loop-distribute-patterns)
endif()
