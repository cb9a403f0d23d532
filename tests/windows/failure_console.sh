#!/usr/bin/env bash
# Failure lines on a console: the launcher's standard streams are a Wine console on a
# pseudo-terminal (script), and a line naming a path outside the ANSI code page reaches the
# terminal whole. Compares the terminal's text, without Wine's cursor escapes and the
# terminal's carriage returns, with the expected line.
# Usage: failure_console.sh <report_probe.exe>   (WINEPREFIX set by the caller)
set -u
probe=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# on_terminal OUT ARGS...: runs the probe under a terminal, its output there into OUT as text.
on_terminal() {
  local out=$1; shift
  script -qec "wine '$probe' $*" /dev/null </dev/null >"$work/raw"
  sed -e 's/\x1b\[[0-9;?]*[A-Za-z]//g' "$work/raw" | tr -d '\r' >"$out"
}

expect_line() {  # <label> <expected text> <probe args...>
  local label=$1 expected=$2; shift 2
  on_terminal "$work/got" "$@"
  if [ "$(cat "$work/got")" != "$expected" ]; then
    echo "FAIL [$label]: expected [$expected], got [$(cat "$work/got")]"
    failures=$((failures + 1))
  fi
}

expect_line open "Error, failed to open 'C:\\日本\\café.txt' for writing." \
  open "'C:\\日本\\café.txt'"
expect_line message "Error, DLL entry point not found." message "'Error, DLL entry point not found.'"

[ "$failures" -eq 0 ] && echo "ok: failure lines reach the console whole"
[ "$failures" -eq 0 ]
