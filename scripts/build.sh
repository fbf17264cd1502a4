#!/usr/bin/env bash
# Builds both sides into build/: the host tools and benchmarks (build/host) and
# the stub with the target tests (build/win32). Every program lands in build/bin.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"
JOBS="$(nproc)"
GENERATOR=()
command -v ninja >/dev/null && GENERATOR=(-G Ninja)

configure() {  # dir, extra cmake arguments...
  local dir="$1"; shift
  if [[ ! -f "$dir/CMakeCache.txt" ]]; then
    cmake -S . -B "$dir" "${GENERATOR[@]}" "$@" >/dev/null
  fi
}

configure build/host -DCMAKE_BUILD_TYPE=Release -DARCULA_BIN_DIR="$ROOT/build/bin" -DARCULA_TESTS=OFF
cmake --build build/host -j "$JOBS"

configure build/win32 -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DARCULA_BIN_DIR="$ROOT/build/bin" -DARCULA_HOST_BIN_DIR="$ROOT/build/bin"
cmake --build build/win32 -j "$JOBS"

ls -l build/bin
