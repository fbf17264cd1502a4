# Makes both stubs from within a host build: the cross configuration of this
# project, with only the stub in it, runs once per processor in
# <build>/stub-<arch>. The stubs land in ARCULA_BIN_DIR, beside the builder.
include(ExternalProject)

function(arcula_cross_stub arch toolchain compiler)
  find_program(ARCULA_MINGW_CXX_${arch} ${compiler})
  if(NOT ARCULA_MINGW_CXX_${arch})
    message(FATAL_ERROR "The ${arch} stub needs the MinGW-w64 compiler ${compiler} "
                        "(scripts/install-deps.sh installs it), or stubs made elsewhere: "
                        "-DARCULA_STUB_FILE=FILE")
  endif()
  ExternalProject_Add(arcula_stub_${arch}
    SOURCE_DIR "${CMAKE_SOURCE_DIR}"
    BINARY_DIR "${CMAKE_BINARY_DIR}/stub-${arch}"
    PREFIX "${CMAKE_BINARY_DIR}/stub-${arch}-steps"
    CMAKE_ARGS
      "-DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/${toolchain}"
      -DCMAKE_BUILD_TYPE=Release
      -DARCULA_TESTS=OFF
      "-DARCULA_BIN_DIR=${ARCULA_BIN_DIR}"
    # The sub-build knows its own sources: ask it every time whether the stub
    # is up to date (a no-op when it is).
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${ARGN}
    INSTALL_COMMAND "")
endfunction()

arcula_cross_stub(win32 toolchain-mingw-i686.cmake i686-w64-mingw32-g++-posix "${ARCULA_STUB}")
arcula_cross_stub(win64 toolchain-mingw-x86_64.cmake x86_64-w64-mingw32-g++-posix "${ARCULA_STUB64}")
