#!/usr/bin/env bash
# End to end, as a user meets it: a box newer than the client answers the
# connect with "need update"; the client starts the updater from its own
# folder with the box's version and servers, tells the user, and runs on.
#   update-test.sh <build/bin folder> <simbox>
# Runs under run-in-netns.sh and with-xvfb.sh, as root. A failing run keeps
# its screenshots and logs in the folder it names.
set -u
bin=$1
simbox=$2
work=$(mktemp -d /tmp/corvane-e2e.XXXXXX) || exit 1
pids=()
failures=0
cleanup() {
  for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null; done
  if [ "$failures" = 0 ]; then rm -rf "$work"; else echo "screenshots and logs kept in $work" >&2; fi
}
trap cleanup EXIT
. "$(dirname "$0")/e2e-lib.sh"
own_runtime_dir
wait_log() { wait_file "$log" "$@"; }

if [ -z "${CORVANE_NETNS_BOX:-}" ]; then
  echo "update-test: run it under run-in-netns.sh" >&2
  exit 1
fi
ip netns exec "$CORVANE_NETNS_BOX" "$simbox" --bind 0.0.0.0 --name "Room 7" --need-update 9.9.9.9 \
  --update-url "10.0.0.5:8080/files;;10.0.0.6/" --seconds 120 >"$work/box.log" 2>&1 &
box=$!
pids+=("$box")
wait_file "$work/box.log" "simbox: ready" 50 || fail "the box did not start"

# One run of the client against the box: click the tile, take the notice.
# $1 names the run; with $2 = fake, a recording updater lies in the folder.
run_client() {
  local name=$1 fake=${2:-}
  prog=$work/prog-$name
  cp -a "$bin/." "$prog/"
  printf '[CFG]\nLanguage=en_US\n' >"$prog/UserCfg.ini"
  log=$prog/log/Corvane.log
  # build/bin holds the real updater: the run without one must not find it.
  rm -f "$prog/CorvaneUpdate"
  if [ "$fake" = fake ]; then
    printf '#!/bin/sh\nprintf "%%s\\n" "$@" > "$(dirname "$0")/updater.args"\n' >"$prog/CorvaneUpdate"
    chmod +x "$prog/CorvaneUpdate"
  fi
  (cd / && exec "$prog/Corvane") &
  client=$!
  pids+=("$client")
  wait_log "SetEvent(FWCORVANEIDEL)" "$start_wait" || fail "$name: the client did not start"
  local window
  window=$(wait_window "$client" '^Corvane$') || fail "$name: no main window"
  # The tile appears once the box answers the first search.
  wait_log "box join Room 7" 50 || fail "$name: the box's tile did not appear"
  shot "$name-tile"
  # Hovering the tile shows its "enter" link beside the name.
  xdotool getwindowgeometry "$window"
  xdotool mousemove --window "$window" 100 93
  sleep 1
  shot "$name-hover"
  xdotool mousemove --window "$window" 148 93 click 1
  wait_log "need update, newVer:9.9.9.9" 80 || fail "$name: no need-update notification"
  # The notice is modal over the main window: the one with its text.
  local notice
  notice=$(wait_window "$client" "Tips") || fail "$name: no notice window"
  shot "$name-notice"
  [ -n "$notice" ] && xdotool windowactivate --sync "$notice" key Return
  sleep 0.5
  kill -0 "$client" 2>/dev/null || fail "$name: the client ended after the notice"
  shot "$name-after"
  kill "$client"
  wait "$client" 2>/dev/null
}

run_client withUpdater fake
if [ -f "$prog/updater.args" ]; then
  arg=$(head -1 "$prog/updater.args")
  case $arg in
    corvane:*) ;;
    *) fail "the updater's argument lacks the prefix: $arg" ;;
  esac
  decoded=$(printf '%s' "${arg#corvane:}" | base64 -d)
  expected=$(printf -- '-SPVER=9.9.9.9\n-UPURL=10.0.0.5:8080/files/Update/Corvane/9.9.9.9/Win32/;10.0.0.6/Update/Corvane/9.9.9.9/Win32/')
  [ "$decoded" = "$expected" ] || fail "the updater got: $decoded"
else
  fail "the updater was not started"
fi
grep -qF "Run update failed" "$log" && fail "a failed launch was logged with the updater present"

run_client withoutUpdater
grep -qF "Run update failed!" "$log" || fail "no 'Run update failed!' without the updater"

[ "$failures" = 0 ] && echo "e2e update: all passed"
exit $((failures > 0))
