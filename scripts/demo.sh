#!/usr/bin/env bash
# The client casting to the simulated box: a fresh program folder copied from
# build/bin/, its own X server, the box in one network namespace and Corvane
# (zh_CN) in the other. The client is driven as a user would drive it: the
# box's tile, screen sharing, the frames the box decodes, stop, exit. Saves a
# screenshot of the sharing client to build/demo/corvane.png.
#   bash scripts/demo.sh [--check]
# Exits non-zero, with the reason on one line, unless the client's log and the
# box's summary show a clean run; --check is kept and only adds a closing
# line. Needs root (network namespaces) and a build (scripts/build.sh).
set -u
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}
check=0
[ "${1:-}" = --check ] && check=1
. "$top/tests/tools/needs.sh"
needs demo ip=iproute2 Xvfb=xvfb xdotool=xdotool xwd=x11-apps convert=imagemagick
for need in "$build/bin/Corvane" "$build/bin/libCorvane_SDK.so" "$build/tests/simbox"; do
  [ -e "$need" ] || { echo "demo: $need is missing: run scripts/build.sh first" >&2; exit 1; }
done
out=$build/demo
rm -rf "$out"
mkdir -p "$out"
"$top/tests/tools/run-in-netns.sh" "$top/tests/tools/with-xvfb.sh" \
  bash "$top/tests/client/e2e/share-test.sh" "$build/bin" "$build/tests/simbox" \
  --lang zh_CN --shot "$out/corvane.png" --keep "$out/run" | tee "$out/demo.log"
rc=${PIPESTATUS[0]}
if [ -f "$out/corvane.png" ]; then
  echo "demo: screenshot of the sharing client: $out/corvane.png"
else
  echo "demo: no screenshot was taken (see $out/run)" >&2
fi
echo "demo: client log $out/run/prog/log/Corvane.log, box log $out/run/box.log"
# A failed session fails the demo, --check or not.
if [ "$rc" != 0 ]; then
  echo "demo: session FAILED (exit $rc): see $out/run" >&2
  exit 1
fi
[ "$check" = 1 ] && echo "demo: check passed"
exit 0
