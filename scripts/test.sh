#!/usr/bin/env bash
# Does all that build.sh does, then runs every test and a bounded fuzzing pass.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}
"$top/scripts/build.sh"
bash "$top/scripts/fuzz.sh"
ctest --test-dir "$build" --output-on-failure -j "${CTEST_JOBS:-4}"
