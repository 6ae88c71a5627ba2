#!/usr/bin/env bash
# Runs a command under an X server of its own and stops the server afterwards.
# XVFB_SCREEN sets the screen (default 1920x1080x24); XVFB_ARGS adds options (-dpi 120).
# --no-shm starts the server without MIT-SHM, so capture takes its XGetImage path.
set -u
. "$(dirname "${BASH_SOURCE[0]}")/needs.sh"
needs with-xvfb Xvfb=xvfb
shm=+extension
if [ "${1:-}" = --no-shm ]; then
  shm=-extension
  shift
fi
screen=${XVFB_SCREEN:-1920x1080x24}
work=$(mktemp -d /tmp/xvfb.XXXXXX) || exit 1
mkfifo "$work/display" || { rm -rf "$work"; exit 1; }
# Xvfb writes the display number it picked into the fifo once it is ready.
Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset +extension RANDR $shm MIT-SHM \
  +extension XFIXES +extension XTEST ${XVFB_ARGS:-} 3>"$work/display" >"$work/log" 2>&1 &
xvfb=$!
cleanup() { kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
# Opening the read end blocks until Xvfb opens the write end; if Xvfb dies
# first, the read sees end-of-file instead of waiting for the deadline.
display=""
exec 4<"$work/display"
for _ in $(seq 1 15); do
  read -r -t 1 display <&4 && break
  kill -0 "$xvfb" 2>/dev/null || break
done
exec 4<&-
if [ -z "$display" ]; then
  echo "with-xvfb: Xvfb gave no display" >&2
  cat "$work/log" >&2
  exit 1
fi
DISPLAY=":$display" "$@"
