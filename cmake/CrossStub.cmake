# Makes the stub ARCULA_STUB from within a host build: the cross configuration
# of this project, with only the stub in it, runs in <build>/stub-win32.
find_program(ARCULA_MINGW_CXX i686-w64-mingw32-g++-posix)
if(NOT ARCULA_MINGW_CXX)
  message(FATAL_ERROR "The stub needs the MinGW-w64 i686 compiler (scripts/install-deps.sh "
                      "installs it), or a stub made elsewhere: -DARCULA_STUB_FILE=FILE")
endif()

include(ExternalProject)
ExternalProject_Add(arcula_stub
  SOURCE_DIR "${CMAKE_SOURCE_DIR}"
  BINARY_DIR "${CMAKE_BINARY_DIR}/stub-win32"
  PREFIX "${CMAKE_BINARY_DIR}/stub-win32-steps"
  CMAKE_ARGS
    "-DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/toolchain-mingw-i686.cmake"
    -DCMAKE_BUILD_TYPE=Release
    -DARCULA_TESTS=OFF
    "-DARCULA_BIN_DIR=${ARCULA_BIN_DIR}"
  # The sub-build knows its own sources: ask it every time whether the stub
  # is up to date (a no-op when it is).
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS "${ARCULA_STUB}"
  INSTALL_COMMAND "")
