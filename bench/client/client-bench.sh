#!/usr/bin/env bash
# Start-up and sharing cost of the desktop client against the simulated box,
# in the demo's set-up: the box in one private network namespace, the PC side
# (its own X server) in the other. Nothing leaves the namespace pair.
#   bash bench/client/client-bench.sh [--runs N] [--window S] [--rates "12 30"]
# Start-up: from the client's start to the first search datagram the box
# receives and to the first tile (the client's "box join" log line); p50 of
# --runs runs. Sharing: CPU seconds per second of the client while the box
# pulls frames at each rate, beside corvane-host (the SDK's host program)
# sharing the same screen; measured over --window seconds once frames flow.
# The Xvfb screen is still, so the encoder mostly sends unchanged frames.
# Needs root (network namespaces) and the targets Corvane, Corvane_SDK,
# simbox_tool and corvane-host built in build/ (or BUILD_DIR).
set -u
export LC_ALL=C
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${BUILD_DIR:-$top/build}
runs=5
window=5
rates="12 30"
args=("$@")
# The end-to-end scripts' steps: waits on log lines and windows, options.
. "$top/tests/client/e2e/e2e-lib.sh"
take_options client-bench --runs=runs --window=window --rates=rates -- "$@"
case "$runs$window" in *[!0-9]*) echo "client-bench: --runs and --window want numbers" >&2; exit 2 ;; esac
[ "$runs" -ge 1 ] && [ "$runs" -le 50 ] && [ "$window" -ge 1 ] && [ "$window" -le 60 ] ||
  { echo "client-bench: --runs 1..50, --window 1..60" >&2; exit 2; }

. "$top/tests/tools/needs.sh"
needs client-bench ip=iproute2 ss=iproute2 Xvfb=xvfb xdotool=xdotool
if [ -z "${CORVANE_NETNS_BOX:-}" ]; then
  for need in "$build/bin/Corvane" "$build/bin/libCorvane_SDK.so" "$build/tests/simbox" "$build/tests/corvane-host"; do
    [ -e "$need" ] || { echo "client-bench: $need is missing: build it first" >&2; exit 1; }
  done
  # The client searches for boxes as it starts: only ever inside the pair.
  exec "$top/tests/tools/run-in-netns.sh" "$top/tests/tools/with-xvfb.sh" \
    bash "$0" "${args[@]}"
fi

simbox=$build/tests/simbox
host=$build/tests/corvane-host
work=$(mktemp -d /tmp/corvane-bench.XXXXXX) || exit 1
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null; done
  [ -n "${CLIENT_BENCH_KEEP:-}" ] && echo "client-bench: kept $work" >&2 || rm -rf "$work"
}
trap cleanup EXIT
tick=$(getconf CLK_TCK)

# Box lines carry the time they were read, for the search's arrival.
stamp() { while IFS= read -r line; do printf '%s %s\n' "$EPOCHREALTIME" "$line"; done; }
stop_pid() {
  kill -TERM "$1" 2>/dev/null
  for _ in $(seq 1 50); do
    kill -0 "$1" 2>/dev/null || break
    sleep 0.1
  done
  kill -9 "$1" 2>/dev/null
  wait "$1" 2>/dev/null
}
# The box's search port is free again only once the last box has gone.
start_box() {
  local log=$1
  shift
  ip netns exec "$CORVANE_NETNS_BOX" "$simbox" --bind 0.0.0.0 --name "Room 7" --seconds 120 "$@" \
    > >(stamp >"$log") 2>&1 &
  box=$!
  pids+=("$box")
  for _ in $(seq 1 100); do
    ip netns exec "$CORVANE_NETNS_BOX" ss -lun | grep -q ':7525 ' && return 0
    sleep 0.05
  done
  echo "client-bench: the box did not start" >&2
  return 1
}
start_client() {
  rm -rf "$prog/log"
  own_runtime_dir "run$1"
  t_start=$EPOCHREALTIME
  (cd / && exec "$prog/Corvane") &
  client=$!
  pids+=("$client")
}
log_time() { date -d "$(cut -c1-23 <<<"$1")" +%s.%3N; }
ms() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.0f", (b - a) * 1000 }'; }
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat" 2>/dev/null || echo 0; }
# p50 (lower middle of an even count), min and max of the numbers given.
stats() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { if (NR == 0) { print "- - -"; exit }
  printf "%s %s %s", v[int((NR + 1) / 2)], v[1], v[NR] }'; }

prog=$work/prog
cp -a "$build/bin/." "$prog/"
printf '[CFG]\nLanguage=en_US\n' >"$prog/UserCfg.ini"
clog=$prog/log/Corvane.log

# --- start-up ---------------------------------------------------------------
search_ms=()
tile_ms=()
for run in $(seq 1 "$runs"); do
  boxlog=$work/startup$run.log
  start_box "$boxlog" || exit 1
  start_client "s$run"
  if wait_file "$boxlog" "search from" 100; then
    search_ms+=("$(ms "$t_start" "$(grep -m1 -F "search from" "$boxlog" | cut -d' ' -f1)")")
  else
    echo "client-bench: run $run: no search reached the box" >&2
  fi
  if wait_file "$clog" "box join Room 7" 100; then
    tile_ms+=("$(ms "$t_start" "$(log_time "$(grep -m1 -F "box join Room 7" "$clog")")")")
  else
    echo "client-bench: run $run: no tile" >&2
  fi
  stop_pid "$client"
  stop_pid "$box"
done

# --- sharing ----------------------------------------------------------------
# Counts the box's decoded frames and the program's CPU over the window.
measure() {
  local pid=$1 boxlog=$2
  sleep 2
  local c0 t0 c1 t1
  c0=$(cpu_ticks "$pid")
  t0=$EPOCHREALTIME
  sleep "$window"
  c1=$(cpu_ticks "$pid")
  t1=$EPOCHREALTIME
  local frames
  frames=$(awk -v a="$t0" -v b="$t1" '$0 ~ / decoded / && $1 >= a && $1 <= b { n++ } END { print n + 0 }' "$boxlog")
  awk -v c="$((c1 - c0))" -v hz="$tick" -v a="$t0" -v b="$t1" -v f="$frames" \
    'BEGIN { printf "%.3f %.1f", c / hz / (b - a), f / (b - a) }'
}
share_client() {
  local rate=$1 boxlog=$work/client$1.log
  start_box "$boxlog" --accept --need-code --pull "$rate" || return 1
  start_client "c$rate"
  local window_id="" result="- -"
  wait_file "$clog" "box join Room 7" 100 || { echo "client-bench: no tile" >&2; stop_pid "$client"; stop_pid "$box"; echo "$result"; return; }
  window_id=$(wait_window "$client" '^Corvane$')
  # The same clicks a user makes (tests/client/e2e/share-test.sh).
  sleep 1.5
  xdotool mousemove --window "$window_id" 100 93
  sleep 0.5
  xdotool mousemove --window "$window_id" 148 93 click 1
  wait_file "$boxlog" "send act=2" 50 >/dev/null
  local dialog
  dialog=$(wait_dialog "$client" "$window_id")
  [ -n "$dialog" ] && xdotool windowfocus --sync "$dialog"
  xdotool type --delay 40 "4711"
  xdotool key Return
  wait_file "$boxlog" '"ConnCode":"4711"' 50
  sleep 1.5
  xdotool mousemove --window "$window_id" 190 309 click 1
  if wait_file "$boxlog" "decoded" 100; then
    result=$(measure "$client" "$boxlog")
  else
    echo "client-bench: the client's share at $rate/s brought no frame" >&2
  fi
  stop_pid "$client"
  stop_pid "$box"
  echo "$result"
}
share_host() {
  local rate=$1 boxlog=$work/host$1.log result="- -"
  start_box "$boxlog" --accept --pull "$rate" || return 1
  "$host" --connect --share-seconds $((window + 8)) --seconds $((window + 20)) >"$work/host$rate.out" 2>&1 &
  local hpid=$!
  pids+=("$hpid")
  if wait_file "$boxlog" "decoded" 100; then
    result=$(measure "$hpid" "$boxlog")
  else
    echo "client-bench: corvane-host's share at $rate/s brought no frame" >&2
  fi
  stop_pid "$hpid"
  stop_pid "$box"
  echo "$result"
}

# Without the sharing page (the string share-test.sh looks for) the client
# has nothing to share with: its columns say so, the host still runs.
has_page=0
grep -q s_reconnBox "$prog/Corvane" && has_page=1
share_rows=()
for rate in $rates; do
  c_cpu=no-page c_fps=-
  [ "$has_page" = 1 ] && read -r c_cpu c_fps <<<"$(share_client "$rate" | tail -1)"
  read -r h_cpu h_fps <<<"$(share_host "$rate" | tail -1)"
  share_rows+=("$(printf '%-8s %12s %10s %14s %10s' "$rate/s" "$c_cpu" "$c_fps" "$h_cpu" "$h_fps")")
done

# --- table ------------------------------------------------------------------
echo "Corvane client benchmark: $runs start-up runs, ${window}s sharing windows, $(nproc) cores"
echo "(figures are wall-clock and CPU on a possibly shared machine)"
echo
printf '%-34s %8s %8s %8s %6s\n' "start-up" "p50 ms" "min ms" "max ms" "runs"
read -r p lo hi <<<"$(stats "${search_ms[@]}")"
printf '%-34s %8s %8s %8s %6s\n' "start -> first search at the box" "$p" "$lo" "$hi" "${#search_ms[@]}"
read -r p lo hi <<<"$(stats "${tile_ms[@]}")"
printf '%-34s %8s %8s %8s %6s\n' "start -> first tile (box join)" "$p" "$lo" "$hi" "${#tile_ms[@]}"
echo
printf '%-8s %12s %10s %14s %10s\n' "pulls" "client CPU/s" "client f/s" "host CPU/s" "host f/s"
for row in "${share_rows[@]}"; do echo "$row"; done
[ "$has_page" = 1 ] || echo "(this Corvane has no sharing page: the client's share was not measured)"
