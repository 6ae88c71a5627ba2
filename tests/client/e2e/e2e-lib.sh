# Shared by the end-to-end scripts: sourced after `work` (the run's folder)
# and `failures` are set.

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
  xwd -root -silent | convert xwd:- "$work/step$step-$1.png" 2>/dev/null
}

# wait_file <file> <text> [tries of 0.1 s, 100]
wait_file() {
  for _ in $(seq 1 "${3:-100}"); do
    grep -qF -- "$2" "$1" 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}
