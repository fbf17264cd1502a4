#!/usr/bin/env bash
# Builds the named build folders under build/ (default: host, win32, win64):
#
#   host    Release host build: the tools, the benchmarks, the host tests, and
#           both stubs (made by their own cross sub-builds); every program
#           lands in build/bin, the stubs beside the builder
#   win32   cross build (MinGW-w64 i686): the 32-bit stub with the unit tests
#           for its target, run under 32-bit Wine, and the Wine tests' helpers
#   win64   the same for the 64-bit stub (MinGW-w64 x86-64), under 64-bit Wine
#   asan    Debug host build under AddressSanitizer and UndefinedBehaviorSanitizer
#
#   scripts/build.sh [host|win32|win64|asan]...
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"
JOBS="$(nproc)"
GENERATOR=()
command -v ninja >/dev/null && GENERATOR=(-G Ninja)

# The arguments are applied on every run, so that a build folder made by an
# older version of this script takes the settings of this one. (A generator
# can only be chosen for a new folder.) The host folders make their own stub:
# an empty ARCULA_STUB_FILE clears a stub path an older folder may hold.
configure() {  # dir, cmake arguments...
  local dir="$1"; shift
  local generator=()
  [[ -f "$dir/CMakeCache.txt" ]] || generator=("${GENERATOR[@]}")
  cmake -S . -B "$dir" "${generator[@]}" "$@" >/dev/null
}

build_host() {
  configure build/host -DCMAKE_BUILD_TYPE=Release -DARCULA_TESTS=ON -DARCULA_STUB_FILE= \
    -DARCULA_BIN_DIR="$ROOT/build/bin"
  cmake --build build/host -j "$JOBS"
  ls -l build/bin
}

# The Wine tests run the host tools of build/bin (ARCULA_HOST_BIN_DIR).
build_cross() {  # dir, toolchain file
  configure "build/$1" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/$2" \
    -DCMAKE_BUILD_TYPE=Release -DARCULA_BIN_DIR="$ROOT/build/$1/bin" -DARCULA_HOST_BIN_DIR="$ROOT/build/bin"
  cmake --build "build/$1" -j "$JOBS"
}

build_win32() { build_cross win32 toolchain-mingw-i686.cmake; }
build_win64() { build_cross win64 toolchain-mingw-x86_64.cmake; }

build_asan() {
  configure build/asan -DCMAKE_BUILD_TYPE=Debug -DARCULA_SANITIZE=ON -DARCULA_STUB_FILE= \
    -DARCULA_BIN_DIR="$ROOT/build/asan/bin"
  cmake --build build/asan -j "$JOBS"
}

(($# > 0)) || set -- host win32 win64
for name in "$@"; do
  case "$name" in
    host|win32|win64|asan) ;;
    *) echo "usage: scripts/build.sh [host|win32|win64|asan]..." >&2; exit 2 ;;
  esac
done
for name in "$@"; do
  "build_$name"
done
