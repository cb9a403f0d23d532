#!/usr/bin/env bash
# Ctrl+C for real, as a user presses it in a terminal: the launcher runs under a pseudo-terminal
# (script), and a ^C typed into that terminal reaches every process of the run. Checks that a
# child that ends within 5 s is left to end by itself, that one ignoring the event is stopped
# after about 5 s, that the target directory is gone in every case, and the launcher's whole
# exit code (read by exit_code_runner.exe, which outlives the event): the application's own
# when it ended by itself, STATUS_CONTROL_C_EXIT when Ctrl+C ended it or the launcher had to.
# Usage: e2e_ctrl_c.sh <launcher around probe.dll> <exit_code_runner.exe>   (WINEPREFIX set)
set -u
exe=$(winepath -w "$1")
runner=$(winepath -w "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() { echo "FAIL [$case]: $*"; failures=$((failures + 1)); }

# run NAME PROBE-ARGS...: starts the launcher in a terminal, types ^C once run_code has printed
# its path, and records the seconds from ^C to the end of the run in $elapsed and the
# launcher's exit code in $code.
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
  } | script -qec "trap : INT; wine '$runner' '$exe' $* >'$out' 2>'$err'; date +%s.%N >'$ended'" \
      /dev/null >/dev/null
  # The ^C reaches the terminal's shell too. The trap lets it outlive the event whatever shell
  # script starts ($SHELL, or sh without one: dash would otherwise die at once and never record
  # the end); a handler, unlike an ignored signal, is reset for wine, which still gets the event.
  code=
  if [ ! -e "$ended" ]; then fail "the run never ended"; elapsed=; return; fi
  code=$(sed -n 's/^exit=//p' "$out" | tr -d '\r')
  elapsed=$(awk -v a="$(cat "$ended")" -v b="$(cat "$work/$case.sent")" 'BEGIN { printf "%.2f", a - b }')
  path=$(sed -n 's/^path=//p' "$out" | tr -d '\r')
  if [ -z "$path" ]; then fail "run_code never printed its path"; return; fi
  dir=$(winepath -u "${path%\\*}")
  [ -e "$dir" ] && fail "target directory left behind: $dir"
  grep -q '^finished' "$out" && fail "the child ran to its end: Ctrl+C never reached the run"
  echo "$case: ${elapsed}s from Ctrl+C to the end of the run, exit code $code"
}

expect_code() { [ "$code" == "$1" ] || fail "exit code [$code], expected [$1]"; }

run ends_in_time on-ctrl-c 1000 args sleep 20000 echo finished
grep -q '^child handled Ctrl+C' "$out" || fail "the child was stopped before its handler finished"
awk -v t="$elapsed" 'BEGIN { exit !(t != "" && t >= 0.9 && t < 4.5) }' || fail "took ${elapsed}s, expected about 1s"
expect_code 0x0000002A

# The application ends with 42 at once, while the launcher's own handler runs: the launcher
# and its handler race to end the run, and both must give 42. Three times, as a race shows
# itself only now and then.
for round in 1 2 3; do
  run "handled_at_once_$round" on-ctrl-c 0 args sleep 20000 echo finished
  grep -q '^child handled Ctrl+C' "$out" || fail "the child's handler never ran"
  expect_code 0x0000002A
done

# No handler of the application's own: Ctrl+C ends it as Windows does by default.
for round in 1 2 3; do
  run "default_$round" args sleep 20000 echo finished
  expect_code 0xC000013A
done

run ignores on-ctrl-c ignore args sleep 20000 echo finished
awk -v t="$elapsed" 'BEGIN { exit !(t != "" && t >= 4.8 && t < 9) }' || fail "took ${elapsed}s, expected about 5s"
expect_code 0xC000013A

[ "$failures" -eq 0 ]
