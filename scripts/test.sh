#!/usr/bin/env bash
# Does all that build.sh does, then runs every test.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}
"$top/scripts/build.sh"
ctest --test-dir "$build" --output-on-failure -j "${CTEST_JOBS:-4}"
