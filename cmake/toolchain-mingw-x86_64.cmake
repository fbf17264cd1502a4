# Cross build of the 64-bit Windows stub with MinGW-w64 (Debian's
# g++-mingw-w64-x86-64). Programs built here run on Linux under 64-bit Wine,
# which every x86-64 machine runs natively.
set(ARCULA_MINGW_PROCESSOR x86_64)
set(ARCULA_WINE_SIDE x64)
include("${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake")
