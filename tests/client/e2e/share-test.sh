#!/usr/bin/env bash
# End to end, as a user meets it: the client finds the simulated box, the
# user clicks its tile, starts sharing the screen, stops, and closes the
# window; the box decodes the frames and sees stop-share and disconnect.
#   share-test.sh <build/bin folder> <simbox> [--lang zh_CN|en_US] [--shot file.png] [--keep dir]
# Runs under run-in-netns.sh and with-xvfb.sh, as root. A failing run keeps
# a screenshot per step and the logs in the folder it names.
set -u
bin=$1
simbox=$2
shift 2
lang=en_US
final_shot=""
keep=""
. "$(dirname "$0")/e2e-lib.sh"
take_options share-test --lang=lang --shot=final_shot --keep=keep -- "$@"
if [ -z "${CORVANE_NETNS_BOX:-}" ]; then
  echo "share-test: run it under run-in-netns.sh" >&2
  exit 1
fi
# A build without the sharing page has nothing to share with.
if ! grep -q s_reconnBox "$bin/Corvane"; then
  echo "share-test: SKIPPED: this Corvane has no sharing page" >&2
  exit 77
fi
work=${keep:-$(mktemp -d /tmp/corvane-share.XXXXXX)}
mkdir -p "$work"
pids=()
failures=0
cleanup() {
  for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null; done
  if [ "$failures" = 0 ] && [ -z "$keep" ]; then rm -rf "$work"; elif [ "$failures" != 0 ]; then
    echo "screenshots and logs kept in $work" >&2
  fi
}
trap cleanup EXIT
own_runtime_dir

boxlog=$work/box.log
ip netns exec "$CORVANE_NETNS_BOX" "$simbox" --bind 0.0.0.0 --name "Room 7" --accept --need-code --pull 12 --seconds 120 \
  >"$boxlog" 2>&1 &
box=$!
pids+=("$box")
wait_file "$boxlog" "simbox: ready" 50 || fail "the box did not start"

prog=$work/prog
rm -rf "$prog"
cp -a "$bin/." "$prog/"
printf '[CFG]\nLanguage=%s\n' "$lang" >"$prog/UserCfg.ini"
log=$prog/log/Corvane.log
(cd / && exec "$prog/Corvane") &
client=$!
pids+=("$client")
wait_file "$log" "SetEvent(FWCORVANEIDEL)" "$start_wait" || fail "the client did not start"
window=$(wait_window "$client" '^Corvane$') || { fail "no main window"; exit 1; }
wait_file "$log" "box join Room 7" 50 || fail "the box's tile did not appear"
# Tiles take clicks a second after the search starts.
sleep 1.5
shot tile
# Hovering the tile shows its "enter" link beside the name.
xdotool mousemove --window "$window" 100 93
sleep 0.5
xdotool mousemove --window "$window" 148 93 click 1
wait_file "$boxlog" "send act=2" 50 || fail "the box got no connect"
# The box asks for the code it shows on its screen: the user types it.
dialog=$(wait_dialog "$client" "$window") || fail "no code dialog"
shot code
[ -n "$dialog" ] && xdotool windowfocus --sync "$dialog"
xdotool type --delay 40 "4711"
xdotool key Return
wait_file "$boxlog" '"ConnCode":"4711"' 50 || fail "the box did not get the code typed"
sleep 1.5
shot connected
# Screen sharing is the page's default choice.
xdotool mousemove --window "$window" 190 309 click 1
wait_file "$boxlog" "decoded" 100 || fail "the box decoded no frame"
sleep 3
shot sharing
[ -n "$final_shot" ] && mkdir -p "$(dirname "$final_shot")" && cp "$work/step$step-sharing.png" "$final_shot"
xdotool mousemove --window "$window" 391 309 click 1
wait_file "$boxlog" "recv act=7" 50 || fail "the box saw no stop-share"
sleep 1
shot stopped
xdotool mousemove --window "$window" 549 28 click 1
rc=""
for _ in $(seq 1 50); do
  kill -0 "$client" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$client" 2>/dev/null; then
  fail "the client did not exit on close"
else
  wait "$client"
  rc=$?
  [ "$rc" = 0 ] || fail "the client exited $rc"
fi
wait_file "$boxlog" "recv act=5" 30 || fail "the box saw no disconnect"
kill -TERM "$box" 2>/dev/null
wait "$box" 2>/dev/null
summary=$(grep "simbox: frames requested" "$boxlog" | tail -1)
echo "${summary:-no frame summary}"
decoded=$(sed -n 's/.* decoded=\([0-9]*\).*/\1/p' <<<"$summary")
errors=$(sed -n 's/.* errors=\([0-9]*\).*/\1/p' <<<"$summary")
[ "${decoded:-0}" -gt 0 ] || fail "no frame decoded"
[ "${errors:-1}" = 0 ] || fail "faulty frames: $errors"

[ "$failures" = 0 ] && echo "e2e share: all passed"
exit $((failures > 0))
