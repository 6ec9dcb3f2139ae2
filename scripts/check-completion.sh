#!/usr/bin/env bash
# check-completion.sh FILE: tries the bash completion of prnupgrade in FILE
# on typical command lines; any unexpected answer fails.
set -uo pipefail
source /usr/share/bash-completion/bash_completion
source "$1"
# compopt works only inside a completion that bash itself started.
compopt() { :; }

files=$(mktemp -d)
trap 'rm -rf "$files"' EXIT
touch "$files"/{a.psw,b.PSW,c.pSw,d.txt,e.mod,f.Zpd,g.bin,h.spt,i.SPT}
failures=0

# expect "WANTED" "LINE": completes the end of LINE. The words are split as
# bash splits them: at blanks, and a ":" is a word of its own.
expect() {
  local wanted=$1 word
  COMP_LINE=$2
  COMP_POINT=${#COMP_LINE}
  COMP_WORDS=()
  for word in $COMP_LINE; do
    while [[ $word == *:* ]]; do
      [ -z "${word%%:*}" ] || COMP_WORDS+=("${word%%:*}")
      COMP_WORDS+=(":")
      word=${word#*:}
    done
    [ -z "$word" ] || COMP_WORDS+=("$word")
  done
  [[ $COMP_LINE != *" " && $COMP_LINE != *: ]] || COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _prnupgrade prnupgrade "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  local got
  got=$(printf '%s\n' "${COMPREPLY[@]}" | sed "s|^$files/||" | sort | paste -sd ' ')
  if [ "$got" != "$wanted" ]; then
    echo "completion of '$COMP_LINE': got '$got', wanted '$wanted'" >&2
    failures=$((failures + 1))
  fi
}

expect "--verify --version" "prnupgrade --ver"
expect "--dry-run --ethdevlist --json --printerversion --usbdevlist --verify" "prnupgrade -v --"
expect "-lf -lv" "prnupgrade -f x.psw -TM1 -l"
expect "eth ser usb" "prnupgrade -t "
expect "ANY" "prnupgrade -t usb -d "
expect "115200:" "prnupgrade -t ser -d /dev/ttyS0:115"
expect "HW" "prnupgrade -t ser -d /dev/ttyS0:9600:H"
expect "1 2 255 3 4 5 6 7" "prnupgrade -c "
expect "1-6" "prnupgrade -rtool 1-6"
expect "a.psw b.PSW e.mod f.Zpd g.bin" "prnupgrade -f $files/"
expect "h.spt i.SPT" "prnupgrade -t usb -d ANY -rtool 1-6 $files/"

if [ $failures -ne 0 ]; then
  echo "bash completion: $failures failures" >&2
  exit 1
fi
echo "bash completion: 11 cases as expected"
