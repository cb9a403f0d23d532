#!/usr/bin/env bash
# A launcher stored at a long path, started as a user starts it (wine with the exe's full path):
# from folders of about 250, 1,100, 2,100 and 4,000 UTF-16 units. Each run either runs one
# parent and one child (the application sees the parent's id, and its exit code comes back) or
# ends with the launch line and exit code 2; it never crashes, and no target directory stays.
# Usage: long_path.sh <launcher around probe.dll, template {TEMP}\long_path_{RANDOM}> <scratch>
set -u
export WINEDEBUG=-all
launcher=$1 work=$2
rm -rf "$work" && mkdir -p "$work"
failures=0
fail() { echo "FAIL [$length]: $*"; failures=$((failures + 1)); }

temp=$(winepath -u "$(wine cmd.exe /c echo %TEMP% | tr -d '\r')")
[ -d "$temp" ] || { echo "FAIL: no temp folder '$temp'"; exit 1; }
leftovers() { find "$temp" -maxdepth 1 -name 'long_path_*' | wc -l; }
[ "$(leftovers)" -eq 0 ] || rm -rf "$temp"/long_path_*

# A folder below $work whose exe path, as Windows names it, has $1 units: components of up to
# 255 characters, the most a file system takes in one.
long_folder() {
  python3 - "$work" "$(winepath -w "$work")" "$1" <<'PY'
import os, sys
work, windows, units = sys.argv[1], sys.argv[2], int(sys.argv[3])
folder = os.path.join(work, "t%d" % units)
length = len(windows) + len("\\t%d" % units) + len("\\sv_probe.exe")
letter = 0
while length < units:
    n = min(255, units - length - 1)
    if n < 1:
        break
    folder = os.path.join(folder, chr(ord("a") + letter % 26) * n)
    length += n + 1
    letter += 1
os.makedirs(folder)
print("%s\t%d" % (folder, length))
PY
}

for length in 250 1100 2100 4000; do
  IFS=$'\t' read -r dir units < <(long_folder $length)
  exe=$dir/sv_probe.exe
  cp "$launcher" "$exe"
  timeout 120 wine "$exe" env VELDRO_ONEFILE_PARENT pid exit 7 >"$work/out" 2>"$work/err"
  code=$?
  out=$(tr -d '\r' <"$work/out") err=$(cat "$work/err")
  if [ "$code" -eq 7 ]; then
    # One parent and one child: the child's parent variable names a process other than itself.
    parent=$(sed -n 's/^VELDRO_ONEFILE_PARENT=//p' <<<"$out")
    child=$(sed -n 's/^pid=//p' <<<"$out")
    [ -n "$parent" ] && [ -n "$child" ] && [ "$parent" != "$child" ] ||
      fail "the application saw no parent of its own: [$out]"
    [ -z "$err" ] || fail "stderr [$err]"
    echo "$units units: ran, exit code 7"
  elif [ "$code" -eq 2 ]; then
    [ -z "$out" ] || fail "the application ran although the launch failed: [$out]"
    expected=$(printf "Error, couldn't launch child ([Error 206] File name is too long.)\r")
    [ "$err" == "$expected" ] || fail "stderr [$err], expected the launch line"
    echo "$units units: refused with the launch line, exit code 2"
  else
    fail "exit code $code, stdout [$out], stderr [$err]"
  fi
  [ "$(leftovers)" -eq 0 ] || fail "a target directory stayed in $temp"
  rm -rf "$temp"/long_path_*
  [ "$length" -gt 250 ] || [ "$code" -eq 7 ] || fail "a path shorter than MAX_PATH must run"
done

[ "$failures" -eq 0 ]
