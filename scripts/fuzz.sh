#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/*_fuzz.cpp) with clang-14, AddressSanitizer
# and UndefinedBehaviorSanitizer, and runs every target for SECONDS seconds,
# all at once. Exits non-zero when any target finds a crash, a leak, a hang or
# an out-of-memory; the input that did it is kept under build/fuzz-artifacts.
#
#   scripts/fuzz.sh [SECONDS]          default 60
#   ARCULA_FUZZ_QUIET=1                one line per target, the log only on failure
#   ARCULA_FUZZ_BUILD, ARCULA_FUZZ_CORPUS, ARCULA_FUZZ_ARTIFACTS
#                                      other folders than build/fuzz, build/fuzz-corpus,
#                                      build/fuzz-artifacts
#
# Each target's corpus starts from the seeds that fuzz/<name>_seeds.py OUT_DIR
# writes (for <name>_fuzz) and persists between runs, so each run goes on from
# the last. Inputs under fuzz/regressions/<target>/ (former finds) run first
# on every run; the host tests replay them too, without libFuzzer
# (fuzz/replay.cpp).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"

RUN_SECONDS="${1:-60}"
BUILD="${ARCULA_FUZZ_BUILD:-$ROOT/build/fuzz}"
CORPUS="${ARCULA_FUZZ_CORPUS:-$ROOT/build/fuzz-corpus}"
ARTIFACTS="${ARCULA_FUZZ_ARTIFACTS:-$ROOT/build/fuzz-artifacts}"
QUIET="${ARCULA_FUZZ_QUIET:-0}"

say() { echo "fuzz: $*"; }

GENERATOR=()
command -v ninja >/dev/null && GENERATOR=(-G Ninja)
if [[ ! -f "$BUILD/CMakeCache.txt" ]]; then
  CC=clang-14 CXX=clang++-14 cmake -S . -B "$BUILD" "${GENERATOR[@]}" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DARCULA_FUZZ=ON -DARCULA_SANITIZE=ON -DARCULA_TESTS=OFF \
    -DARCULA_BIN_DIR="$BUILD/bin" >/dev/null
fi

TARGETS=()
for source in fuzz/*_fuzz.cpp; do
  TARGETS+=("$(basename "$source" .cpp)")
done
if ((${#TARGETS[@]} == 0)); then
  say "no targets under fuzz/"
  exit 1
fi

build_log="$(mktemp)"
trap 'rm -f "$build_log"' EXIT
if ! cmake --build "$BUILD" -j "$(nproc)" --target "${TARGETS[@]}" >"$build_log" 2>&1; then
  cat "$build_log"
  say "build failed"
  exit 1
fi
[[ "$QUIET" == 1 ]] || cat "$build_log"

mkdir -p "$ARTIFACTS"
pids=()
for target in "${TARGETS[@]}"; do
  mkdir -p "$CORPUS/$target"
  seeder="fuzz/${target%_fuzz}_seeds.py"
  [[ -f "$seeder" ]] && python3 "$seeder" "$CORPUS/$target" >/dev/null
  folders=("$CORPUS/$target")
  [[ -d "fuzz/regressions/$target" ]] && folders+=("fuzz/regressions/$target")
  "$BUILD/bin/$target" -max_total_time="$RUN_SECONDS" -rss_limit_mb=2048 -timeout=10 \
    -print_final_stats=1 -artifact_prefix="$ARTIFACTS/$target-" "${folders[@]}" \
    >"$ARTIFACTS/$target.log" 2>&1 &
  pids+=($!)
done

status=0
for index in "${!TARGETS[@]}"; do
  target="${TARGETS[$index]}"
  log="$ARTIFACTS/$target.log"
  if wait "${pids[$index]}"; then
    runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
    corpus_size="$(find "$CORPUS/$target" -type f | wc -l)"
    [[ "$QUIET" == 1 ]] || cat "$log"
    say "$target: ${runs:-?} runs in ${RUN_SECONDS} s, corpus $corpus_size inputs, nothing found"
  else
    status=1
    if [[ "$QUIET" == 1 ]]; then tail -n 60 "$log"; else cat "$log"; fi
    found="$(grep -o "Test unit written to .*" "$log" | sed 's/Test unit written to //' | tail -1)"
    say "$target: FAILED; input: ${found:-see $log}"
  fi
done
exit $status
