#!/usr/bin/env bash
# check-departure.sh DIR PRNUPGRADE PRNSIM: the recorded test DIR with the
# first byte of the program's last write changed in its recording must fail:
# prnsim names the exchange and shows both byte strings.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT
cp "$1"/* "$copy/"
line=$(grep -n 'LinkTrace\][a-z]* sent ' "$copy/recording.log" | tail -1 | cut -d: -f1)
# The dump row after it: ten tabs, "0000:", a blank, then the first byte;
# its last hexadecimal digit gets its lowest bit turned.
awk -v row=$((line + 1)) 'BEGIN { hex = "0123456789abcdef" }
  NR == row { d = index(hex, substr($0, 18, 1)) - 1
              $0 = substr($0, 1, 17) substr(hex, d % 2 ? d : d + 2, 1) substr($0, 19) }
  { print }' "$copy/recording.log" >"$copy/edited" && mv "$copy/edited" "$copy/recording.log"
set +e
out=$("$here/../../scripts/replay-test.sh" check "$copy" "$2" "$3" 2>&1)
code=$?
set -e
printf '%s\n' "$out"
[ "$code" -ne 0 ] || { echo "check-departure: the edited recording passed" >&2; exit 1; }
grep -Eq 'prnsim: replay: exchange [0-9]+ \(log line [0-9]+\) departs from the recording at byte [0-9]+ of [0-9]+$' <<<"$out" &&
  grep -q 'prnsim: replay: recorded: ' <<<"$out" && grep -q 'prnsim: replay: received: ' <<<"$out" ||
  { echo "check-departure: no report of the departing exchange" >&2; exit 1; }
echo "check-departure: passed"
