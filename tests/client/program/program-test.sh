#!/usr/bin/env bash
# The Corvane program as a user's desktop runs it: one client at a time, the
# command-line stop, the crash dump and a missing resource file.
#   program-test.sh <build/bin folder> <corvane_plant_block>
# Runs under its own X server inside a private network namespace.
set -u
bin=$1
plant=$2
work=$(mktemp -d /tmp/corvane-program.XXXXXX) || exit 1
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
export XDG_RUNTIME_DIR=$work/run
mkdir -m 700 "$XDG_RUNTIME_DIR"
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# A fresh program folder: a copy of the build's bin folder.
fresh() {
  prog=$work/prog.$1
  cp -a "$bin/." "$prog/"
  log=$prog/log/Corvane.log
}
# Waits (bounded) until the log holds the text. A first start on a fresh
# machine builds the font caches first, hence the long bound.
wait_log() {
  for _ in $(seq 1 600); do
    [ -f "$log" ] && grep -qF -- "$1" "$log" && return 0
    sleep 0.1
  done
  echo "program-test: waited 60 s for \"$1\" in $log" >&2
  return 1
}
# Waits (bounded, in tenths of a second) until the process has ended.
wait_gone() {
  for _ in $(seq 1 "${2:-50}"); do
    kill -0 "$1" 2>/dev/null || return 0
    sleep 0.1
  done
  return 1
}
start_client() {
  "$prog/Corvane" "$@" &
  client=$!
  pids+=("$client")
  wait_log "SetEvent(FWCORVANEIDEL)" || fail "the client did not start: $(tail -5 "$log")"
}
count_log() { grep -cF -- "$1" "$log"; }
# The trailer's line names, in the order a dump carries them.
trailer_order() { grep -aoE '^(Module|MeetVer|ExeLastModied|DumpTime|MeetID|PCID|IP|LastLogData):' "$1" | tr -d '\n'; }
whole_table="Module:MeetVer:ExeLastModied:DumpTime:MeetID:PCID:IP:LastLogData:"


echo "== a second start raises the first and ends"
fresh second
start_client
first=$client
timeout 20 "$prog/Corvane"
rc=$?
[ "$rc" = 255 ] || fail "second start exited $rc, not 255"
grep -qF "Corvane is running!" "$log" || fail "no 'Corvane is running!'"
[ "$(count_log "Corvane SetEvent(FWCORVANEIDEL)=1")" -ge 2 ] || fail "the second start did not set the idle event"
kill -0 "$first" 2>/dev/null || fail "the first client ended"

echo "== a hung client is ended after the time-out and the new one takes over"
kill -STOP "$first"
begin=$(date +%s%N)
"$prog/Corvane" &
second=$!
pids+=("$second")
wait_gone "$first" 80 || fail "the stopped client was not ended"
took=$((($(date +%s%N) - begin) / 1000000))
echo "stopped client ended after ${took} ms"
[ "$took" -ge 1500 ] || fail "the stopped client was ended before the time-out (${took} ms)"
wait_log "kill pre-instace pid:$first, success!" || fail "no takeover line"

echo "== -do=stop with a client"
timeout 20 "$prog/Corvane" -do=stop
rc=$?
[ "$rc" = 0 ] || fail "-do=stop with a client exited $rc"
wait_gone "$second" 30 || fail "-do=stop left the client running"

echo "== -do=stop without a client"
timeout 20 "$prog/Corvane" -do=stop
rc=$?
[ "$rc" = 0 ] || fail "-do=stop without a client exited $rc"

echo "== a foreign pid in the block is never ended"
sleep 300 &
foreign=$!
pids+=("$foreign")
"$plant" "$foreign" > "$work/plant.out" &
planter=$!
pids+=("$planter")
for _ in $(seq 1 50); do grep -q planted "$work/plant.out" && break; sleep 0.1; done
timeout 20 "$prog/Corvane" -do=stop
rc=$?
[ "$rc" = 1 ] || fail "-do=stop of a foreign pid exited $rc, not 1"
kill -0 "$foreign" 2>/dev/null || fail "the foreign process was ended"
grep -qF "terminate pre-instace Err!" "$log" || fail "no failed-termination line"
kill "$planter" "$foreign" 2>/dev/null
wait "$planter" "$foreign" 2>/dev/null

echo "== two clients started at the same moment: one runs, the other ends 255"
fresh race
rounds=12
for round in $(seq 1 "$rounds"); do
  "$prog/Corvane" &
  a=$!
  "$prog/Corvane" &
  b=$!
  pids+=("$a" "$b")
  # The one that found the other ends by itself; bounded by the wait for a
  # starting client (10 s) and the message time-out (2 s).
  loser=""
  for _ in $(seq 1 200); do
    if ! kill -0 "$a" 2>/dev/null; then loser=$a; winner=$b; break; fi
    if ! kill -0 "$b" 2>/dev/null; then loser=$b; winner=$a; break; fi
    sleep 0.1
  done
  if [ -z "$loser" ]; then
    fail "round $round: both clients still run"
    kill -9 "$a" "$b" 2>/dev/null
    wait "$a" "$b" 2>/dev/null
    continue
  fi
  wait "$loser"
  rc=$?
  [ "$rc" = 255 ] || fail "round $round: the second client exited $rc, not 255"
  kill -0 "$winner" 2>/dev/null || fail "round $round: no client runs"
  kill -9 "$winner" 2>/dev/null
  wait "$winner" 2>/dev/null
done
[ "$(count_log "kill pre-instace")" = 0 ] || fail "a client that was starting or answering was ended"
[ "$(count_log "Corvane is running!")" = "$rounds" ] || fail "not every loser found the running client"

echo "== a crash writes a dump with the crash text"
fresh crash
start_client
kill -SEGV "$client"
wait "$client" 2>/dev/null
dump=$(ls "$prog"/log/*.dmp 2>/dev/null | head -1)
if [ -z "$dump" ]; then
  fail "no dump in $prog/log"
else
  [[ $(basename "$dump") =~ ^[0-9a-fA-F-]{36}\.dmp$ ]] || fail "dump name $(basename "$dump")"
  head -c 4 "$dump" | grep -q MDMP || fail "the dump is no minidump"
  [ "$(trailer_order "$dump")" = "$whole_table" ] || fail "the dump's trailer lines: $(trailer_order "$dump")"
fi

echo "== a crash during start-up writes the whole crash text"
for step in settings sdk; do
  fresh "crash-$step"
  mkdir -p "$prog/log"
  CORVANE_CLIENT_TEST_CRASH_AT=$step timeout 20 "$prog/Corvane"
  rc=$?
  [ "$rc" -ge 128 ] && [ "$rc" != 255 ] || fail "a crash at $step ended with $rc, not as a crash"
  dump=$(ls "$prog"/log/*.dmp 2>/dev/null | head -1)
  if [ -z "$dump" ]; then
    fail "a crash at $step wrote no dump"
    continue
  fi
  [ "$(trailer_order "$dump")" = "$whole_table" ] || fail "a crash at $step: trailer lines $(trailer_order "$dump")"
  grep -aqE '^Module:Corvane$' "$dump" || fail "a crash at $step: no module name"
  grep -aqE '^ExeLastModied:[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}$' "$dump" ||
    fail "a crash at $step: no executable time"
  grep -aqE '^PCID:[0-9a-fA-F-]{36}$' "$dump" || fail "a crash at $step: no installation id"
done

echo "== a missing resource file ends the start"
fresh nores
rm "$prog/Res/Corvane.rcc"
timeout 20 "$prog/Corvane"
rc=$?
[ "$rc" = 255 ] || fail "without Corvane.rcc the client exited $rc, not 255"

[ "$failures" = 0 ] && echo "program tests: all passed"
exit $((failures > 0))
