#!/usr/bin/env bash
# The SDK alone, end to end. The host program (a test program) loads
# libCorvane_SDK.so, searches, finds the simulated box, connects, shares the
# screen of an Xvfb of its own, stops the share and disconnects; the box pulls
# the frames and decodes them. Host and box each run in a private network
# namespace, joined by a veth pair: nothing is broadcast from the machine's own
# namespace. Needs root (exit 77 otherwise).
#
#   tests/sdk/discovery/host-demo.sh [--verbose] [--name TEXT] [--share-seconds N]
#                   [--host PATH] [--simbox PATH]
#
# Exits 0 only when the host found the box, connected, started the share,
# stopped it and disconnected, and the box decoded at least $MIN_FRAMES frames
# with no faulty one; otherwise 1, with the reason on one line. It shows the
# session's own lines; --verbose shows both programs' whole output. --check is
# still taken, and changes nothing. Programs default to $BUILD_DIR/tests
# (BUILD_DIR defaults to build/).
set -u
top=$(cd "$(dirname "$0")/../../.." && pwd)
. "$top/tests/tools/needs.sh"
needs host-demo ip=iproute2 timeout=coreutils
build=${BUILD_DIR:-$top/build}
host=$build/tests/corvane-host
simbox=$build/tests/simbox
name="Demo Room"
share_seconds=3
verbose=0
while [ $# -gt 0 ]; do
  case "$1" in
    --check) shift ;;
    --verbose) verbose=1; shift ;;
    --name) name=${2:?--name needs a value}; shift 2 ;;
    --share-seconds) share_seconds=${2:?--share-seconds needs a value}; shift 2 ;;
    --host) host=${2:?--host needs a path}; shift 2 ;;
    --simbox) simbox=${2:?--simbox needs a path}; shift 2 ;;
    *) echo "demo: unknown argument $1" >&2; exit 2 ;;
  esac
done
case "$share_seconds" in
  [1-9]|1[0-9]|20) ;;
  *) echo "demo: --share-seconds wants 1..20" >&2; exit 2 ;;
esac
for program in "$host" "$simbox"; do
  [ -x "$program" ] || { echo "demo: $program is missing: build the targets corvane-host and simbox_tool" >&2; exit 1; }
done
MIN_FRAMES=${MIN_FRAMES:-3}
# Frame requests per second of the box.
PULL_RATE=5

# Runs inside the pc namespace that run-in-netns.sh made, under the Xvfb that
# with-xvfb.sh started there.
inner() {
  # Not local: the exit trap runs after this function has returned.
  box_out=$(mktemp)
  host_out=$(mktemp)
  trap 'stop_box; rm -f "$box_out" "$host_out"' EXIT
  # Outlives the host by a margin; stopped with SIGTERM below in any case.
  # Every address of the box's own namespace: the host reaches it over the veth pair.
  ip netns exec "$CORVANE_NETNS_BOX" "$simbox" --bind 0.0.0.0 --name "$name" --id DEMO-0001 --extra Model=Simulated \
    --accept --pull "$PULL_RATE" --seconds $((share_seconds + 40)) >"$box_out" 2>&1 &
  box_pid=$!
  local ready=0
  for _ in $(seq 1 50); do
    if grep -q "simbox: ready" "$box_out"; then ready=1; break; fi
    kill -0 "$box_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ "$ready" -ne 1 ]; then
    echo "demo: session FAILED: the simulated box did not start: $(tail -n 1 "$box_out")" >&2
    return 1
  fi

  # The host ends itself after its --seconds; a host that hangs past that
  # is a failure with its output, not a test its runner kills silently.
  local rc limit=$((share_seconds + 30))
  timeout -k 5 "$limit" "$host" --connect --share-seconds "$share_seconds" --searches 3 --interval-ms 500 \
    --seconds $((share_seconds + 15)) >"$host_out" 2>&1
  rc=$?
  # The box prints its frame summary as it ends.
  stop_box

  local failures=()
  grep -qF "found box: name=\"$name\" id=\"DEMO-0001\"" "$host_out" || failures+=("the host did not find the box")
  grep -q "^notify 9 CVNTY_CONNECTED" "$host_out" || failures+=("no CVNTY_CONNECTED")
  grep -q "^notify 10 CVNTY_SHARE_STARTED" "$host_out" || failures+=("no CVNTY_SHARE_STARTED")
  grep -q "^notify 12 CVNTY_SHARE_STOPPED" "$host_out" || failures+=("no CVNTY_SHARE_STOPPED")
  grep -q "^step: disconnected" "$host_out" || failures+=("the host did not disconnect")
  case $rc in
    0) ;;
    124 | 137) failures+=("the host did not end within $limit s") ;;
    *) failures+=("the host exited with $rc") ;;
  esac
  local summary decoded errors
  summary=$(grep "^simbox: frames requested=" "$box_out" | tail -n 1)
  decoded=$(sed -n 's/.* decoded=\([0-9]*\).*/\1/p' <<<"$summary")
  errors=$(sed -n 's/.* errors=\([0-9]*\).*/\1/p' <<<"$summary")
  if [ -z "$summary" ]; then
    failures+=("the box printed no frame summary")
  else
    [ "${decoded:-0}" -ge "$MIN_FRAMES" ] || failures+=("the box decoded ${decoded:-0} frames, fewer than $MIN_FRAMES")
    [ "${errors:-1}" -eq 0 ] || failures+=("the box found $errors faulty frame responses")
  fi

  if [ "$verbose" -eq 1 ]; then
    echo "---- host (whole output) ----"
    cat "$host_out"
    echo "---- simulated box (whole output) ----"
    cat "$box_out"
  else
    echo "---- host ----"
    grep -E "^(host version|found box|step:|notify|boxes found|session:)" "$host_out"
    echo "---- simulated box ----"
    grep -E "^simbox: (session from|recv act=(2|5|6|7) |frame|session [0-9]+ closed)" "$box_out"
  fi
  echo "----"
  if [ ${#failures[@]} -eq 0 ]; then
    echo "demo: whole session ok: found, connected, shared, $decoded frames decoded by the box, stopped, disconnected"
    return 0
  fi
  local reason
  reason=$(printf '%s; ' "${failures[@]}")
  if [ "$verbose" -ne 1 ]; then
    echo "---- host (last lines) ----"
    tail -n 40 "$host_out"
    echo "---- simulated box (last lines) ----"
    tail -n 20 "$box_out"
  fi
  echo "demo: session FAILED: ${reason%; } (--verbose shows both programs' whole output)" >&2
  return 1
}

# SIGTERM, then a bounded wait; SIGKILL if the box does not end.
stop_box() {
  [ -n "${box_pid:-}" ] || return 0
  kill -TERM "$box_pid" 2>/dev/null
  for _ in $(seq 1 50); do
    kill -0 "$box_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -KILL "$box_pid" 2>/dev/null
  wait "$box_pid" 2>/dev/null
  box_pid=
}
export -f inner stop_box
export host simbox name verbose share_seconds MIN_FRAMES PULL_RATE
exec "$top/tests/tools/run-in-netns.sh" "$top/tests/tools/with-xvfb.sh" bash -c inner
