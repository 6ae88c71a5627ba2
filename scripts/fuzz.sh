#!/usr/bin/env bash
# Builds the libFuzzer targets with clang under ASan/UBSan in their own build
# folder and runs each for a bounded number of inputs from its seed corpus.
#   FUZZ_RUNS (default 200000) inputs per target, FUZZ_SECONDS (default 10) at most.
#   FUZZ_BUILD_DIR (default build-fuzz/) is the build folder.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD_DIR:-$top/build-fuzz}
runs=${FUZZ_RUNS:-200000}
seconds=${FUZZ_SECONDS:-10}
targets=(splitter discovery_answer json_strmap json_keyscan updater_cmdline zf7z update_ini)

for tool in clang clang++; do
  command -v "$tool" >/dev/null || { echo "fuzz: $tool is missing (Debian package clang)" >&2; exit 1; }
done

# Coverage instrumentation everywhere, so the fuzzer is guided through the
# library code too, not only through the fuzz functions.
CC=clang CXX=clang++ cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCORVANE_SANITIZE=ON \
  -DCORVANE_BENCH=OFF -DCMAKE_C_FLAGS=-fsanitize=fuzzer-no-link -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link >/dev/null
cmake --build "$build" -j "${FUZZ_JOBS:-3}" --target "${targets[@]/#/fuzz_}"

# Full stacks on allocation, so that the suppressions can name the Qt call
# whose leak we cannot fix here.
export ASAN_OPTIONS=${ASAN_OPTIONS:-fast_unwind_on_malloc=0}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$top/tests/fuzz/lsan.supp}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for target in "${targets[@]}"; do
  # New inputs go to a scratch folder; the seeds in the tree stay as they are.
  mkdir -p "$work/$target"
  echo "fuzz: $target, $runs inputs at most, ${seconds}s at most"
  if ! "$build/fuzz/fuzz_$target" -runs="$runs" -max_total_time="$seconds" -max_len=4096 \
      -artifact_prefix="$work/" "$work/$target" "$top/tests/fuzz/corpus/$target" 2>"$work/$target.log"; then
    echo "fuzz: $target FAILED" >&2
    tail -n 40 "$work/$target.log" >&2
    for crash in "$work"/crash-* "$work"/leak-* "$work"/timeout-*; do
      [ -e "$crash" ] && { mkdir -p "$build/fuzz/artifacts"; cp "$crash" "$build/fuzz/artifacts/"; }
    done
    status=1
    continue
  fi
  grep -E "^Done" "$work/$target.log" || tail -n 1 "$work/$target.log"
done
exit $status
