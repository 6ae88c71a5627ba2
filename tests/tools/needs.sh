# Sourced by the scripts that drive other programs. A fresh machine has only
# what scripts/packages.txt installs, so a missing program is named with its
# package up front instead of surfacing later as a failed step.
#   needs <who> <program>=<package> ...
needs() {
  local who=$1 pair
  shift
  for pair in "$@"; do
    command -v "${pair%%=*}" >/dev/null && continue
    echo "$who: ${pair%%=*} is missing: install the Debian package ${pair#*=} (scripts/build.sh installs scripts/packages.txt)" >&2
    exit 1
  done
}
