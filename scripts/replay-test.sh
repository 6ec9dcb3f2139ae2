#!/usr/bin/env bash
# Regression tests made of recorded runs: prnsim plays the printer's side of a
# log written with -lf, and prnupgrade must end as it did.
#
#   replay-test.sh make DIR LOG [--run N] -- ARGS...
#       Makes the test DIR (e.g. tests/recordings/NAME): the run of LOG
#       (default: the last one with link traffic) as recording.log, every ARG
#       that names a file copied in (and passed by its file name), ARGS
#       without -lv/-lf in "args", then "check --update" to write the
#       expected exit code and console output. In ARGS, @DEVICE@ stands for
#       the network printer's address:port and @PTY@ for the serial device
#       path (e.g. -t eth -d @DEVICE@, -t ser -d @PTY@:115200:NONE); a USB
#       run keeps its -d (ANY, or the recorded printer's VID|PID|SERIAL).
#       Uses build/ for the programs unless PRNUPGRADE and PRNSIM are set.
#   replay-test.sh check DIR PRNUPGRADE PRNSIM [--update]
#       Runs the test: exit code and console output (with the device shown
#       as @DEVICE@ / @PTY@) must be the expected ones, and prnsim must have
#       played the whole recording. --update writes them instead.
set -euo pipefail

die() {
  echo "replay-test: $*" >&2
  exit 2
}

# The run of a log that prnsim would play: lines from the end of the run
# before it to the end of this one (runs end at the exit-code line, the one
# with an empty function name).
cut_run() {
  local log=$1 run=$2
  awk -v want="$run" '
    BEGIN { n = 0 }
    /^\[[0-9][0-9][0-9][0-9]\/[0-9][0-9]\/[0-9][0-9] [0-9:.]*\]\[\]/ {
      lines[n] = lines[n] $0 "\n"; n++; next }
    { lines[n] = lines[n] $0 "\n"; if ($0 ~ /\]\[LinkTrace\]/ && $0 !~ / closed$/) traced[n] = 1 }
    END {
      if (want > 0) { printf "%s", lines[want - 1]; exit }
      for (i = n; i >= 0; i--) if (traced[i]) { printf "%s", lines[i]; exit }
    }' "$log"
}

link_of() {
  grep -m1 -o '\]\[LinkTrace\]\(eth\|ser\|usb\) ' "$1" | sed 's/.*\]\([a-z]*\) /\1/'
}

# The simulator of a check and its folder, for the exit trap.
simpid=""
work=""
cleanup() {
  if [ -n "$simpid" ]; then kill "$simpid" 2>/dev/null || true; fi
  if [ -n "$work" ]; then rm -rf "$work"; fi
}

make_test() {
  local dir=$1 log=$2
  shift 2
  local run=0
  if [ "${1:-}" = "--run" ]; then
    run=$2
    shift 2
  fi
  [ "${1:-}" = "--" ] || die "make: ARGS must follow --"
  shift
  [ -f "$log" ] || die "no log $log"
  mkdir -p "$dir"
  cut_run "$log" "$run" >"$dir/recording.log"
  [ -n "$(link_of "$dir/recording.log")" ] || die "$log: no link trace in that run (written with -lf?)"
  : >"$dir/args"
  local arg
  for arg in "$@"; do
    case $arg in
      -lv | -lf) continue ;;
    esac
    if [ -f "$arg" ]; then
      cp "$arg" "$dir/"
      arg=$(basename "$arg")
    fi
    printf '%s\n' "$arg" >>"$dir/args"
  done
  local root
  root=$(cd "$(dirname "$0")/.." && pwd)
  check_test "$dir" "${PRNUPGRADE:-$root/build/app/prnupgrade}" \
    "${PRNSIM:-$root/build/sim/prnsim}" --update
}

check_test() {
  local dir prnupgrade prnsim update=${4:-}
  dir=$(cd "$1" && pwd)
  prnupgrade=$(realpath -m "$2")
  prnsim=$(realpath -m "$3")
  [ -f "$dir/recording.log" ] && [ -f "$dir/args" ] || die "$dir: no recording.log or args"
  work=$(mktemp -d)
  trap cleanup EXIT
  find "$dir" -maxdepth 1 -type f ! -name 'expected-*' -exec cp {} "$work/" \;
  cd "$work"
  local link
  link=$(link_of recording.log)
  local -a args=()
  mapfile -t args <args

  local device="" shown="" code simcode
  case $link in
    eth | ser)
      local word=--tcp
      [ "$link" = ser ] && word=--pty
      if [ "$link" = eth ]; then
        "$prnsim" --replay recording.log --fast --tcp 0 >sim.out 2>sim.err &
      else
        "$prnsim" --replay recording.log --fast --pty >sim.out 2>sim.err &
      fi
      simpid=$!
      for _ in $(seq 100); do
        grep -q 'prnsim: ready' sim.out 2>/dev/null && break
        sleep 0.05
      done
      grep -q 'prnsim: ready' sim.out || die "prnsim $word did not start: $(cat sim.err)"
      if [ "$link" = eth ]; then
        device=127.0.0.1:$(sed -n 's/^prnsim: tcp 127.0.0.1:\([0-9]*\)$/\1/p' sim.out)
        shown=@DEVICE@
      else
        device=$(sed -n 's/^prnsim: pty //p' sim.out)
        shown=@PTY@
      fi
      args=("${args[@]//@DEVICE@/$device}")
      args=("${args[@]//@PTY@/$device}")
      set +e
      timeout 300 "$prnupgrade" "${args[@]}" >console.raw 2>/dev/null &
      local program=$!
      # prnsim ends by itself once the program has closed the link after
      # the whole recording, or at once when the program departs from it:
      # the program is stopped then rather than left to its time-outs.
      simcode=""
      while kill -0 "$program" 2>/dev/null; do
        if ! kill -0 "$simpid" 2>/dev/null; then
          wait "$simpid"
          simcode=$?
          [ "$simcode" = 0 ] || kill "$program" 2>/dev/null
          break
        fi
        sleep 0.05
      done
      wait "$program"
      code=$?
      if [ -z "$simcode" ]; then
        kill -TERM "$simpid" 2>/dev/null
        wait "$simpid"
        simcode=$?
      fi
      set -e
      simpid=""
      ;;
    usb)
      set +e
      TMPDIR=$work timeout 300 "$prnsim" --replay recording.log --fast --usb -- "$prnupgrade" "${args[@]}" \
        >console.raw 2>sim.err
      code=$?
      set -e
      simcode=0
      [ "$code" = 3 ] && simcode=3
      ;;
    *) die "$dir: unknown link in the recording" ;;
  esac
  if [ "$simcode" != 0 ]; then
    cat sim.err >&2
    die "$(basename "$dir"): prnupgrade departed from the recording (prnsim exit $simcode)"
  fi
  if [ -n "$shown" ]; then
    # The device differs from run to run: shown by its placeholder.
    local pattern
    pattern=$(printf '%s' "$device" | sed 's/[]\\.*^$|[]/\\&/g')
    sed "s|$pattern|$shown|g" console.raw >console.txt
  else
    cp console.raw console.txt
  fi
  if [ "$update" = --update ]; then
    echo "$code" >"$dir/expected-exit"
    cp console.txt "$dir/expected-console"
    echo "replay-test: $(basename "$dir"): exit $code, $(wc -l <console.txt) console lines written"
    return 0
  fi
  local failed=0
  if [ "$code" != "$(cat "$dir/expected-exit")" ]; then
    echo "replay-test: exit code $code, expected $(cat "$dir/expected-exit")" >&2
    failed=1
  fi
  if ! diff -u "$dir/expected-console" console.txt >&2; then
    echo "replay-test: the console output differs" >&2
    failed=1
  fi
  [ "$failed" = 0 ] || exit 1
  echo "replay-test: $(basename "$dir"): passed"
}

case ${1:-} in
  make)
    [ $# -ge 4 ] || die "usage: replay-test.sh make DIR LOG [--run N] -- ARGS..."
    shift
    make_test "$@"
    ;;
  check)
    [ $# -ge 4 ] || die "usage: replay-test.sh check DIR PRNUPGRADE PRNSIM [--update]"
    shift
    check_test "$@"
    ;;
  *) die "usage: replay-test.sh make|check ..." ;;
esac
