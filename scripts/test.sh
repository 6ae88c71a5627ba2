#!/usr/bin/env bash
# Does all that build.sh does, then runs every test and a bounded fuzzing pass.
# The tests run first and the fuzzing pass runs whatever they gave, so a fuzz
# finding never hides a test result; the script fails if either failed.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}
"$top/scripts/build.sh"
tests=0
ctest --test-dir "$build" --output-on-failure -j "${CTEST_JOBS:-4}" || tests=$?
fuzz=0
bash "$top/scripts/fuzz.sh" || fuzz=$?
[ "$tests" -eq 0 ] || echo "test.sh: the tests failed (ctest exit $tests)" >&2
[ "$fuzz" -eq 0 ] || echo "test.sh: the fuzzing pass failed (exit $fuzz)" >&2
[ "$tests" -eq 0 ] && [ "$fuzz" -eq 0 ]
