#!/usr/bin/env bash
# An update as the user sees it: versions N and N+1 written by the update
# fixture, N+1 served by nginx on a 127.0.0.x address, the fake client of N
# running, and CorvaneUpdate started from the client's folder with the
# argument the client builds, under an X server of its own. Ends with the
# log line of the client of N+1 that the update restarted.
#   bash scripts/update-demo.sh [--check] [--verbose]
# --check: exit non-zero, with the reason on one line, unless the updater
# ended with 0 and the restarted client found its folder to be N+1.
# --verbose: also print the fixture's folders, the argument and the command log.
# Needs a build (scripts/build.sh), nginx and Xvfb. Everything stays on
# 127.0.0.0/8 and every wait has a deadline.
set -u
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}
check=0
verbose=0
for arg in "$@"; do
  case "$arg" in
    --check) check=1 ;;
    --verbose) verbose=1 ;;
    *) echo "usage: $0 [--check] [--verbose]" >&2; exit 2 ;;
  esac
done

fail() {
  echo "update-demo: FAILED: $*" >&2
  exit 1
}
say() { echo "update-demo: $*"; }
detail() { [ "$verbose" = 1 ] && echo "update-demo: $*"; return 0; }

updater=$build/bin/CorvaneUpdate
fixture=$build/tests/updatefixture
cmdline=$build/tests/updater_engine_client_cmdline
for need in "$updater" "$fixture" "$cmdline"; do
  [ -x "$need" ] || fail "$need is missing: build CorvaneUpdate, updatefixture_tool and updater_engine_client_cmdline"
done
. "$top/tests/tools/needs.sh"
needs update-demo Xvfb=xvfb timeout=coreutils
nginx=/usr/sbin/nginx
[ -x "$nginx" ] || fail "$nginx is missing: install the Debian package nginx (scripts/build.sh installs scripts/packages.txt)"

work=$(mktemp -d /tmp/corvane-update-demo.XXXXXX) || fail "no temporary folder"
# Named objects of our own: another updater running on this machine is not
# this demo's to end, nor is this one its.
export XDG_RUNTIME_DIR=$work/run
mkdir -m 700 "$XDG_RUNTIME_DIR" || fail "no runtime folder"
nginx_pid=""
client_pid=""
cleanup() {
  [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null
  [ -n "$client_pid" ] && kill "$client_pid" 2>/dev/null
  # The client the update started records its own id.
  local restarted
  restarted=$(cat "$work/root/tools/client.pid" 2>/dev/null)
  [ -n "$restarted" ] && [ "$restarted" != "$client_pid" ] && kill "$restarted" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Version N with the fake client, a packed library, a changed text and a file
# both versions share.
cat >"$work/layout" <<'EOF'
old 1.0.0.1
new 1.0.0.2
file Corvane client
file a.dll random 5000 zf7z changed
file b.txt text 3000 changed
file same.dat random 2000
EOF
"$fixture" "$work/layout" "$work/root" >"$work/fixture.out" 2>&1 || fail "updatefixture: $(tail -n 1 "$work/fixture.out")"
field() { sed -n "s/^$1 *//p" "$work/fixture.out"; }
old=$(field 'program N:')
new=$(field 'program N+1:')
served=$(field 'served:')
tools=$(field 'tools:')
[ -d "$old" ] && [ -d "$served" ] || fail "updatefixture printed no folders"
detail "N in $old, N+1 in $new, served from $served"

# nginx on a free port of a 127.0.0.x address; a port taken meanwhile makes
# nginx end at once, and the next one is tried.
address=127.0.0.$((2 + RANDOM % 250))
mkdir -p "$work/nginx"
start_nginx() {
  local port=$1
  {
    echo "daemon off;"
    echo "worker_processes 1;"
    [ "$(id -u)" = 0 ] && echo "user root root;"
    echo "pid $work/nginx/nginx.pid;"
    echo "error_log $work/nginx/error.log warn;"
    echo "events { worker_connections 64; }"
    echo "http {"
    echo "  access_log $work/nginx/access.log;"
    for temp in client_body proxy fastcgi uwsgi scgi; do echo "  ${temp}_temp_path $work/nginx/$temp;"; done
    echo "  default_type application/octet-stream;"
    echo "  server { listen $address:$port; root $served; }"
    echo "}"
  } >"$work/nginx/nginx.conf"
  "$nginx" -p "$work/nginx" -c "$work/nginx/nginx.conf" -e "$work/nginx/error.log" >/dev/null 2>&1 &
  nginx_pid=$!
  local _
  for _ in $(seq 1 50); do
    kill -0 "$nginx_pid" 2>/dev/null || { wait "$nginx_pid" 2>/dev/null; nginx_pid=""; return 1; }
    (exec 3<>"/dev/tcp/$address/$port") 2>/dev/null && return 0
    sleep 0.1
  done
  kill "$nginx_pid" 2>/dev/null
  wait "$nginx_pid" 2>/dev/null
  nginx_pid=""
  return 1
}
port=""
for _ in 1 2 3 4 5 6 7 8; do
  candidate=$((20000 + RANDOM % 40000))
  if start_nginx "$candidate"; then
    port=$candidate
    break
  fi
done
[ -n "$port" ] || fail "nginx did not listen on $address ($(tail -n 1 "$work/nginx/error.log" 2>/dev/null))"
say "nginx serves $served on $address:$port"

# The running client of N, and the updater beside it, where the client's
# launch finds it.
"$old/Corvane" >/dev/null 2>&1 &
client_pid=$!
for _ in $(seq 1 50); do
  grep -q ' ver=' "$tools/order.log" 2>/dev/null && break
  sleep 0.1
done
before=$(grep -m1 '^Corvane.* ver=' "$tools/order.log" 2>/dev/null)
[ -n "$before" ] || fail "the client of N wrote no log line"
say "client of N:   $before"
cp "$updater" "$old/CorvaneUpdate" || fail "cannot copy the updater into $old"

# The argument exactly as the client's update launch builds it.
new_ver=1.0.0.2
servers="$address:$port/Update/Corvane/$new_ver/Win32/"
argument=$("$cmdline" corvane: "-SPVER=$new_ver" "-UPURL=$servers") || fail "the command-line builder failed"
detail "argument $argument (-UPURL=$servers)"
say "running CorvaneUpdate $argument"
timeout -k 5 150 "$top/tests/tools/with-xvfb.sh" "$old/CorvaneUpdate" "$argument" >"$work/updater.out" 2>&1
status=$?
say "CorvaneUpdate ended with $status"

# The update restarts the client: its line names the new version.
after=""
for _ in $(seq 1 100); do
  after=$(grep "^Corvane.* ver=$new_ver" "$tools/order.log" 2>/dev/null | tail -n 1)
  [ -n "$after" ] && break
  sleep 0.1
done
if [ "$verbose" = 1 ]; then
  say "command log:"
  sed 's/^/  /' "$tools/order.log"
fi
[ -n "$after" ] && say "client of N+1: $after"

reason=""
if [ "$status" != 0 ]; then
  reason="CorvaneUpdate ended with $status: $(tail -n 1 "$old/Log/AppLog.log" 2>/dev/null)"
elif [ -z "$after" ]; then
  reason="no client of $new_ver was started"
elif [ "${after##* folder=}" != ok ]; then
  reason="the restarted client found its folder wrong: ${after##* folder=}"
elif ! cmp -s "$old/UpdateInfo.ini" "$new/UpdateInfo.ini"; then
  reason="the installed version record is not $new_ver"
fi
if [ -n "$reason" ]; then
  [ "$check" = 1 ] && fail "$reason"
  say "the update did not complete: $reason"
  exit 0
fi
say "update from 1.0.0.1 to $new_ver complete"
exit 0
