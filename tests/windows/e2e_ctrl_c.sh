#!/usr/bin/env bash
# Ctrl+C for real, as a user presses it in a terminal: the launcher runs under a pseudo-terminal
# (script), and a ^C typed into that terminal reaches every process of the run. Checks that a
# child that ends within 5 s is left to end by itself, that one ignoring the event is stopped
# after about 5 s, and that the target directory is gone in both cases.
# Usage: e2e_ctrl_c.sh <launcher around probe.dll>   (WINEPREFIX set by the caller)
set -u
exe=$(winepath -w "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() { echo "FAIL [$case]: $*"; failures=$((failures + 1)); }

# run NAME PROBE-ARGS...: starts the launcher in a terminal, types ^C once run_code has printed
# its path, and records the seconds from ^C to the end of the run in $elapsed.
run() {
  case=$1; shift
  out=$work/$case.out err=$work/$case.err ended=$work/$case.ended
  : >"$out"
  {
    for _ in $(seq 400); do grep -q '^path=' "$out" && break; sleep 0.05; done
    date +%s.%N >"$work/$case.sent"
    printf '\003'
    # Keep the terminal's input open until the run is over.
    for _ in $(seq 600); do [ -e "$ended" ] && break; sleep 0.05; done
  } | script -qec "trap : INT; wine '$exe' $* >'$out' 2>'$err'; date +%s.%N >'$ended'" /dev/null >/dev/null
  # The ^C reaches the terminal's shell too. The trap lets it outlive the event whatever shell
  # script starts ($SHELL, or sh without one: dash would otherwise die at once and never record
  # the end); a handler, unlike an ignored signal, is reset for wine, which still gets the event.
  if [ ! -e "$ended" ]; then fail "the run never ended"; elapsed=; return; fi
  elapsed=$(awk -v a="$(cat "$ended")" -v b="$(cat "$work/$case.sent")" 'BEGIN { printf "%.2f", a - b }')
  path=$(sed -n 's/^path=//p' "$out" | tr -d '\r')
  if [ -z "$path" ]; then fail "run_code never printed its path"; return; fi
  dir=$(winepath -u "${path%\\*}")
  [ -e "$dir" ] && fail "target directory left behind: $dir"
  grep -q '^finished' "$out" && fail "the child ran to its end: Ctrl+C never reached the run"
  echo "$case: ${elapsed}s from Ctrl+C to the end of the run"
}

run ends_in_time on-ctrl-c 1000 args sleep 20000 echo finished
grep -q '^child handled Ctrl+C' "$out" || fail "the child was stopped before its handler finished"
awk -v t="$elapsed" 'BEGIN { exit !(t != "" && t >= 0.9 && t < 4.5) }' || fail "took ${elapsed}s, expected about 1s"

run ignores on-ctrl-c ignore args sleep 20000 echo finished
awk -v t="$elapsed" 'BEGIN { exit !(t != "" && t >= 4.8 && t < 9) }' || fail "took ${elapsed}s, expected about 5s"

[ "$failures" -eq 0 ]
