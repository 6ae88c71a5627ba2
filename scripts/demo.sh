#!/usr/bin/env bash
# Shows box discovery end to end: the simulated box and the host program,
# which loads libCorvane_SDK.so and searches, each in a private network
# namespace of their own joined by a veth pair. Nothing is broadcast from the
# machine's own namespace. Needs root (exit 77 otherwise).
#
#   scripts/demo.sh [--check] [--name TEXT] [--host PATH] [--simbox PATH]
#
# --check exits 1 unless the host found the box. Programs default to
# $BUILD_DIR/tests (BUILD_DIR defaults to build/).
set -u
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}
host=$build/tests/corvane-host
simbox=$build/tests/simbox
name="Demo Room"
check=0
while [ $# -gt 0 ]; do
  case "$1" in
    --check) check=1; shift ;;
    --name) name=${2:?--name needs a value}; shift 2 ;;
    --host) host=${2:?--host needs a path}; shift 2 ;;
    --simbox) simbox=${2:?--simbox needs a path}; shift 2 ;;
    *) echo "demo: unknown argument $1" >&2; exit 2 ;;
  esac
done
for program in "$host" "$simbox"; do
  [ -x "$program" ] || { echo "demo: $program is missing: build the targets corvane-host and simbox_tool" >&2; exit 1; }
done

# Runs inside the pc namespace that run-in-netns.sh made.
inner() {
  local out
  out=$(mktemp)
  ip netns exec "$CORVANE_NETNS_BOX" "$simbox" --name "$name" --id DEMO-0001 --extra Model=Simulated \
    --seconds 30 >"$out" 2>&1 &
  local box_pid=$!
  trap 'kill "$box_pid" 2>/dev/null; wait "$box_pid" 2>/dev/null; rm -f "$out"' EXIT
  local ready=0
  for _ in $(seq 1 50); do
    if grep -q "simbox: ready" "$out"; then ready=1; break; fi
    kill -0 "$box_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ "$ready" -ne 1 ]; then
    echo "demo: the simulated box did not start:" >&2
    cat "$out" >&2
    return 1
  fi
  local host_out rc
  host_out=$("$host" --searches 3 --interval-ms 500 --seconds 3)
  rc=$?
  echo "---- host ----"
  echo "$host_out"
  echo "---- simulated box ----"
  cat "$out"
  if [ "$check" -eq 1 ] && ! grep -qF "found box: name=\"$name\" id=\"DEMO-0001\"" <<<"$host_out"; then
    echo "demo: the host did not find the box (exit $rc)" >&2
    return 1
  fi
  return 0
}
export -f inner
export host simbox name check
exec "$top/tests/sdk/discovery/run-in-netns.sh" bash -c inner
