#!/usr/bin/env bash
# Installs what the project needs (Debian 12, as root), then configures and builds.
# BUILD_DIR (default build) and CMAKE_ARGS are passed through; SKIP_APT=1 skips
# the package step. Quiet unless something fails: the whole output goes to
# $BUILD_DIR/build.log, and its end is shown on a failure.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}
mkdir -p "$build"
log=$build/build.log
: >"$log"

# Runs a step with its output in the log; on a failure shows the log's end
# and the step, and exits.
quietly() {
  local what=$1
  shift
  "$@" >>"$log" 2>&1 && return 0
  local rc=$?
  tail -n 60 "$log" >&2
  echo "build: $what failed (exit $rc); the whole output is in $log" >&2
  exit "$rc"
}

# Every listed package installed already: no apt-get at all, not even an
# update. dpkg-query fails on a package it has never heard of, which then
# gets installed too.
all_installed() {
  local status
  status=$(dpkg-query -W -f='${db:Status-Status}\n' "$@" 2>/dev/null) || return 1
  ! grep -qvx installed <<<"$status"
}

if [ "${SKIP_APT:-0}" != 1 ]; then
  mapfile -t packages < <(grep -v '^\s*#' "$top/scripts/packages.txt" | grep -v '^\s*$')
  if ! all_installed "${packages[@]}"; then
    echo "build: installing the Debian packages of scripts/packages.txt"
    export DEBIAN_FRONTEND=noninteractive
    quietly "apt-get update" apt-get update
    # nginx is only a test peer that the tests start on their own ports: keep
    # the package's service from starting on port 80 while it installs.
    policy=/usr/sbin/policy-rc.d
    own_policy=0
    if [ ! -e "$policy" ]; then
      printf '#!/bin/sh\nexit 101\n' > "$policy" && chmod 755 "$policy" && own_policy=1
    fi
    trap '[ "$own_policy" = 1 ] && rm -f "$policy"' EXIT
    quietly "apt-get install" apt-get install -y --no-install-recommends "${packages[@]}"
    if [ "$own_policy" = 1 ]; then rm -f "$policy"; own_policy=0; fi
  fi
fi

quietly "cmake configure" cmake -S "$top" -B "$build" ${CMAKE_ARGS:-}
quietly "cmake build" cmake --build "$build" -j "$(nproc)"
echo "build: done in $build (output in $log)"
