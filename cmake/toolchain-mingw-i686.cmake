# Cross build of the 32-bit Windows stub with MinGW-w64 (Debian's
# g++-mingw-w64-i686). Programs built here run on Linux under 32-bit Wine.
set(ARCULA_MINGW_PROCESSOR i686)
set(ARCULA_WINE_SIDE x86)
include("${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake")
