#!/usr/bin/env bash
# A windowed launcher started without a console, as Explorer starts it, removes its target
# directory when the session ends. Runs under a virtual display (without one Wine creates no
# window at all) in a Wine prefix of its own, and ends the session with wineboot --end-session.
# Usage: session_end.sh <windows build dir> <launcher around probe.dll> <scratch dir>
set -euo pipefail
export WINEDEBUG=-all

# Inside the virtual display: start the launcher, end the session, wait for the launcher.
if [ "$1" == "--in-session" ]; then
  launcher=$2 work=$3
  export WINEPREFIX="$work/prefix"
  wineboot -i >/dev/null 2>&1
  # No console: started in the background, output to a file, as a double-click would.
  wine "$launcher" args sleep 60000 >"$work/out.txt" 2>&1 </dev/null &
  launcher_pid=$!
  for _ in $(seq 100); do grep -q '^path=' "$work/out.txt" 2>/dev/null && break; sleep 0.2; done
  path=$(sed -n 's/^path=//p' "$work/out.txt" | tr -d '\r')
  dir=$(winepath -u "${path%\\*}" 2>/dev/null)
  echo "$path" >"$work/path.txt"
  wineboot --end-session >/dev/null 2>&1 || true
  # The application sleeps on: only the launcher's own session-end clean-up (5 s for the
  # child, then terminate, then delete) can make the directory go while the session lasts.
  state=present
  for _ in $(seq 60); do [ -e "$dir" ] || { state=gone; break; }; sleep 0.25; done
  echo "$state" >"$work/state.txt"
  kill "$launcher_pid" 2>/dev/null || true
  wineserver -k >/dev/null 2>&1 || true
  exit 0
fi

build=$1 launcher=$2 work=$3
rm -rf "$work" && mkdir -p "$work"
export WINEPREFIX="$work/prefix"
xvfb-run -a "$0" --in-session "$launcher" "$work" </dev/null >"$work/session.log" 2>&1 || true

path=$(cat "$work/path.txt" 2>/dev/null || true)
if [ -z "$path" ]; then
  echo "FAIL: the launcher never ran its application"; cat "$work/out.txt" "$work/session.log"; exit 1
fi
echo "target directory: $path"
if [ "$(cat "$work/state.txt")" != gone ]; then
  echo "FAIL: the target directory was still there 15 s after the session ended"; exit 1
fi
echo "ok: the session's end removed the target directory"
