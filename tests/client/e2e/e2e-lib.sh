# Shared by the end-to-end scripts: sourced after `work` (the run's folder)
# and `failures` are set.
. "$(dirname "${BASH_SOURCE[0]}")/../../tools/needs.sh"
needs "${0##*/}" xdotool=xdotool xwd=x11-apps convert=imagemagick ip=iproute2

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# Named objects of the run's own: another client on this machine is not ours.
export XDG_RUNTIME_DIR=$work/run
mkdir -p -m 700 "$XDG_RUNTIME_DIR"

step=0
shot() {
  step=$((step + 1))
  # xwd, not import: import grabs the pointer, which Qt takes for leaving.
  xwd -root -silent | convert xwd:- "$work/step$step-$1.png" ||
    echo "${0##*/}: screenshot $step ($1) failed" >&2
}

# wait_file <file> <text> [tries of 0.1 s, 100]; a miss says what it waited
# for and how long, so the FAIL line after it needs no guessing.
wait_file() {
  local tries=${3:-100}
  for _ in $(seq 1 "$tries"); do
    [ -f "$1" ] && grep -qF -- "$2" "$1" && return 0
    sleep 0.1
  done
  echo "${0##*/}: waited $((tries / 10)).$((tries % 10)) s for \"$2\" in $1" >&2
  return 1
}

# A first start on a fresh machine builds the font caches before the first
# window maps: the waits for a client's start and its first window allow
# for that.
start_wait=600

# wait_window <pid> <name pattern>: prints the window id of the process's
# visible window of that name.
wait_window() {
  local id=""
  for _ in $(seq 1 "$start_wait"); do
    id=$(xdotool search --onlyvisible --pid "$1" --name "$2" | head -1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    kill -0 "$1" 2>/dev/null || break
    sleep 0.1
  done
  echo "${0##*/}: waited up to $((start_wait / 10)) s for a visible window \"$2\" of process $1" >&2
  return 1
}
