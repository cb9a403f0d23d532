#!/usr/bin/env bash
# A user reading a packaged program's output through a pipe gets its end when the launcher
# ends: `wine app.exe 2>&1 | cat` under a Wine session with no desktop process running yet.
# The first window of such a session would start Wine's desktop process, which keeps the
# standard error of the process that made the window open. Runs in a Wine prefix of its own
# (made once) with a fresh wineserver, whose start-up desktop is waited out first.
# Usage: pipe_eof.sh <launcher around probe.dll> <scratch dir>
set -u
export WINEDEBUG=-all
launcher=$1 work=$2
export WINEPREFIX="$work/prefix"
mkdir -p "$work"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The ids of this prefix's desktop processes.
desktops() {
  for pid in $(pgrep -f 'explorer.exe' || true); do
    grep -qz "^WINEPREFIX=$WINEPREFIX\$" "/proc/$pid/environ" 2>/dev/null && echo "$pid"
  done
}

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i </dev/null >/dev/null 2>&1
  wineserver -w
fi
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
trap 'wineserver -k 2>/dev/null || true' EXIT
wineserver -p
wine cmd.exe /c exit 0 </dev/null >/dev/null 2>&1
for _ in $(seq 100); do [ -z "$(desktops)" ] && break; sleep 0.2; done
[ -z "$(desktops)" ] || { echo "FAIL: the prefix's start-up desktop never ended"; exit 1; }

# The launcher's output, stdout and stderr, through one pipe; the times the launcher ended
# and the reader saw the end.
{ timeout 60 wine "$launcher" echo hello 2>&1; date +%s.%N >"$work/ended"; } |
  { timeout 30 cat >"$work/out"; date +%s.%N >"$work/eof"; }
[ "$(tr -d '\r' <"$work/out")" == "hello" ] || fail "output: [$(cat "$work/out")]"
lag=$(awk -v a="$(cat "$work/eof")" -v b="$(cat "$work/ended")" 'BEGIN { printf "%.2f", a - b }')
echo "end of the pipe ${lag}s after the launcher ended"
awk -v t="$lag" 'BEGIN { exit !(t < 1.0) }' || fail "the pipe ended ${lag}s after the launcher"
[ -z "$(desktops)" ] || fail "the run started a desktop process: $(desktops)"

[ "$failures" -eq 0 ] && echo "ok: the pipe ends with the launcher"
[ "$failures" -eq 0 ]
