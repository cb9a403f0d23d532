#!/usr/bin/env bash
# A windowed launch without standard streams, as Explorer starts one, shows its failure line in
# a message box and still exits with its code. Runs under a virtual display (without one Wine
# makes no window) in a Wine prefix of its own, made once; failure_box_runner.exe starts each
# launcher without standard handles, reads the box and presses OK.
# Usage: failure_box.sh <windows test bin dir> <scratch dir>
set -euo pipefail
export WINEDEBUG=-all

# Inside the virtual display: run every case, one "box=" and one "exit=" line each.
if [ "$1" == "--in-session" ]; then
  bin=$2 work=$3
  export WINEPREFIX="$work/prefix"
  [ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1
  runner=$(winepath -w "$bin/failure_box_runner.exe")
  for exe in fixture_bad_magic.exe sv_missing_dep.exe sv_probe.exe; do
    args=; [ "$exe" == sv_probe.exe ] && args="exit 5"
    wine "$runner" "$exe" "$(winepath -w "$bin/$exe")" $args </dev/null >"$work/$exe.txt" 2>/dev/null || true
  done
  wineserver -k >/dev/null 2>&1 || true
  exit 0
fi

bin=$1 work=$2
mkdir -p "$work"
rm -f "$work"/*.txt
export WINEPREFIX="$work/prefix"
wineserver -k >/dev/null 2>&1 || true  # a server bound to an earlier display
xvfb-run -a "$0" --in-session "$bin" "$work" </dev/null >"$work/session.log" 2>&1 || true

failures=0
expect() {  # <exe> <box text> <exit code>
  local got expected
  got=$(tr -d '\r' <"$work/$1.txt" 2>/dev/null || true)
  expected=$(printf 'box=%s\nexit=%s' "$2" "$3")
  if [ "$got" != "$expected" ]; then
    echo "FAIL [$1]: expected"; echo "$expected"; echo "got"; echo "$got"
    failures=$((failures + 1))
  fi
}
# A line of the parent (standard output), one of the child (standard error), no failure.
expect fixture_bad_magic.exe "Error, couldn't find attached data header." 2
expect sv_missing_dep.exe \
  "Error, load DLL. ([Error 126] Module not found.) 'veldrodep.dll' (needed by 'sv_uses_dep.dll') was not found." 2
expect sv_probe.exe none 5
[ "$failures" -eq 0 ] && echo "ok: failures of a launch without streams show in a message box"
[ "$failures" -eq 0 ]
