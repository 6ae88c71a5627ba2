#!/usr/bin/env bash
# Runs a command under an X server of its own and stops the server afterwards.
# XVFB_SCREEN sets the screen (default 1920x1080x24).
set -u
screen=${XVFB_SCREEN:-1920x1080x24}
fifo=$(mktemp -u /tmp/xvfb-display.XXXXXX)
mkfifo "$fifo"
exec 3<>"$fifo"
rm -f "$fifo"
Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset +extension RANDR +extension MIT-SHM \
  +extension XFIXES +extension XTEST >/tmp/xvfb-$$.log 2>&1 &
xvfb=$!
cleanup() { kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -f /tmp/xvfb-$$.log; }
trap cleanup EXIT
display=""
if ! read -r -t 15 display <&3 || [ -z "$display" ]; then
  echo "with-xvfb: Xvfb gave no display" >&2
  cat /tmp/xvfb-$$.log >&2
  exit 1
fi
exec 3<&-
DISPLAY=":$display" "$@"
