#!/usr/bin/env bash
# Installs what is missing, builds everything, and runs every test through
# CTest: the host tests under AddressSanitizer and UndefinedBehaviorSanitizer,
# the target tests and the stub under Wine, and a short fuzzing run.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"
JOBS="$(nproc)"

scripts/install-deps.sh
scripts/build.sh

GENERATOR=()
command -v ninja >/dev/null && GENERATOR=(-G Ninja)
if [[ ! -f build/asan/CMakeCache.txt ]]; then
  cmake -S . -B build/asan "${GENERATOR[@]}" -DCMAKE_BUILD_TYPE=Debug -DARCULA_SANITIZE=ON \
    -DARCULA_BIN_DIR="$ROOT/build/asan/bin" >/dev/null
fi
cmake --build build/asan -j "$JOBS"

source scripts/wine-env.sh
arcula_wine_prefix
arcula_start_xvfb
trap 'wineserver -k 2>/dev/null || true; arcula_stop_xvfb' EXIT
arcula_start_wineserver || true

status=0
ctest --test-dir build/asan --output-on-failure -j "$JOBS" || status=1
ctest --test-dir build/win32 --output-on-failure || status=1
ARCULA_FUZZ_QUIET=1 scripts/fuzz.sh "${ARCULA_FUZZ_SECONDS:-60}" || status=1
exit $status
