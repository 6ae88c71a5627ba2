# The steps the end-to-end scripts and the client's benchmark share. The
# steps that write into the run's folder want `work` set; fail counts in
# `failures`.
. "$(dirname "${BASH_SOURCE[0]}")/../../tools/needs.sh"
needs "${0##*/}" xdotool=xdotool xwd=x11-apps convert=imagemagick ip=iproute2

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# take_options <script> <--option>=<variable>... -- "$@": sets each variable
# from an "--option value" pair; an unknown option ends the script with 2.
take_options() {
  local script=$1
  shift
  local -A names=()
  while [ "$1" != -- ]; do
    names[${1%%=*}]=${1#*=}
    shift
  done
  shift
  while [ $# -gt 0 ]; do
    if [ -z "${names[$1]:-}" ] || [ $# -lt 2 ]; then
      echo "$script: unknown option $1" >&2
      exit 2
    fi
    printf -v "${names[$1]}" '%s' "$2"
    shift 2
  done
}

# Named objects of the run's own: another client on this machine is not ours.
# own_runtime_dir [name]: a runtime folder <name> (default run) in `work`.
own_runtime_dir() {
  export XDG_RUNTIME_DIR=$work/${1:-run}
  mkdir -p -m 700 "$XDG_RUNTIME_DIR"
}

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

# wait_dialog <pid> <main window id> [tries of 0.1 s, 50]: prints the id of a
# visible window of the process other than its main window, once one maps.
wait_dialog() {
  local id="" tries=${3:-50}
  for _ in $(seq 1 "$tries"); do
    id=$(xdotool search --onlyvisible --pid "$1" | grep -vx "$2" | tail -1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  echo "${0##*/}: waited $((tries / 10)).$((tries % 10)) s for a dialog of process $1" >&2
  return 1
}
