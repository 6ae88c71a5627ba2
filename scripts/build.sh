#!/usr/bin/env bash
# Installs what the project needs (Debian 12, as root), then configures and builds.
# BUILD_DIR (default build) and CMAKE_ARGS are passed through.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}

if [ "${SKIP_APT:-0}" != 1 ]; then
  mapfile -t packages < <(grep -v '^\s*#' "$top/scripts/packages.txt" | grep -v '^\s*$')
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  # nginx is only a test peer that the tests start on their own ports: keep
  # the package's service from starting on port 80 while it installs.
  policy=/usr/sbin/policy-rc.d
  own_policy=0
  if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\nexit 101\n' > "$policy" && chmod 755 "$policy" && own_policy=1
  fi
  apt-get install -y --no-install-recommends "${packages[@]}"
  if [ "$own_policy" = 1 ]; then rm -f "$policy"; fi
fi

cmake -S "$top" -B "$build" ${CMAKE_ARGS:-}
cmake --build "$build" -j "$(nproc)"
