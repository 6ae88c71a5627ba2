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
  apt-get install -y --no-install-recommends "${packages[@]}"
fi

cmake -S "$top" -B "$build" ${CMAKE_ARGS:-}
cmake --build "$build" -j "$(nproc)"
