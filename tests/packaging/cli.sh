#!/usr/bin/env bash
# The packer's command line as a user meets it: exact stdout, stderr and exit code of usage
# errors and refusals, list/verify/extract of good and broken files, the import warnings, the
# progress line on a terminal and the memory that list needs for a large entry. What the
# packer's rooms decide (options, DLLs, icons, templates, payload bytes, extraction) is tested
# on the host beside their code; one case of each here shows the command line reaching it.
# Usage: cli.sh <repo> <veldro-pack> <probe.dll> <shared-runtime.dll>
#               <hello.exe> <scratch dir>
# Not -e: every check records its failure and the run goes on to the next.
set -uo pipefail
repo=$1 pack=$2 probe=$3 shared_runtime=$4 hello=$5 work=$6
rm -rf "$work" && mkdir -p "$work" && cd "$work"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# check <name> <exit code> <stdout> <stderr> -- <packer args...>: all three exactly; the pack
# summary's time is replaced by T.
check() {
  local name=$1 code=$2 out=$3 err=$4
  shift 5
  "$pack" "$@" >out.txt 2>err.txt
  local got=$?
  sed -i -E 's/, [0-9]+\.[0-9]+ s$/, T s/' err.txt
  [ "$got" == "$code" ] || fail "$name: exit code $got, expected $code"
  cmp -s out.txt <(printf '%s' "$out") || fail "$name: stdout [$(cat out.txt)], expected [$out]"
  cmp -s err.txt <(printf '%s' "$err") || fail "$name: stderr [$(cat err.txt)], expected [$err]"
}
size() { stat -c %s "$1"; }

mkdir -p app/sub other -- -dash
cp "$probe" app/probe.dll && cp "$probe" -- -dash/probe.dll
echo hello >app/sub/a.txt && echo other >other/a.txt
version=$(sed -n 's/^project(VeldroOnefile VERSION \([0-9.]*\) .*/\1/p' "$repo/CMakeLists.txt")
for_pack=$'Run \'veldro-pack pack --help\' for the options.\n'
for_commands=$'Run \'veldro-pack --help\' for the commands.\n'

echo "== usage errors: one line and where the help is"
check version 0 "veldro-pack $version"$'\n' "" -- --version
check "no command" 1 "" $'veldro-pack: no command given\n'"$for_commands" --
check "unknown command" 1 "" $'veldro-pack: unknown command \'pak\'\n'"$for_commands" -- pak
check "bad level" 1 "" $'veldro-pack: --level takes 1 to 22\n'"$for_pack" -- \
  pack --main probe.dll --level 99 --payload o.bin app
check "directory twice" 1 "" $'veldro-pack: directory \'app\' given twice\n'"$for_pack" -- \
  pack --main probe.dll --payload o.bin app app
check "nothing to write" 1 "" $'veldro-pack: nothing to write: give --payload, --object or --resource-script\n'"$for_pack" -- \
  pack --main probe.dll app
check "list two files" 1 "" $'veldro-pack: give exactly one file\nRun \'veldro-pack list --help\' for the options.\n' -- list a b
check "extract without folder" 1 "" $'veldro-pack: give a file and a folder\nRun \'veldro-pack extract --help\' for the options.\n' -- extract a

echo "== help"
"$pack" pack --help >help.txt
for placeholder in TEMP HOME CACHE_DIR PROGRAM PROGRAM_BASE PROGRAM_DIR PID TIME TIME_US RANDOM \
                   COMPANY PRODUCT VERSION FILE_VERSION PRODUCT_VERSION; do
  grep -q "{$placeholder}" help.txt || fail "pack --help does not list {$placeholder}"
done
"$pack" pack --main probe.dll --level 1 --help >help2.txt
cmp -s help.txt help2.txt || fail "--help among other options does not show the help"

echo "== inputs"
# "--" ends the options: a folder whose name starts with a dash.
"$pack" pack --main probe.dll --level 1 --payload dash.bin -- -dash 2>/dev/null || fail "-- did not end the options"
"$pack" list dash.bin >out.txt 2>&1
grep -qx "$(printf '%12s' "$(size "$probe")")  probe.dll" out.txt || fail "list of the -dash payload: $(cat out.txt)"
check "missing folder" 2 "" $'veldro-pack: directory \'nothere\' not found\n' -- pack --main probe.dll --payload o.bin nothere
check "main missing" 2 "" $'veldro-pack: main file \'nothere.dll\' not found\n' -- pack --main nothere.dll --payload o.bin app
check "folder as exe" 2 "" $'veldro-pack: \'app\' is a directory, not an exe or payload file\n' -- list app
check "missing exe" 2 "" $'veldro-pack: \'missing.exe\' not found\n' -- verify missing.exe
check "no payload" 2 "" $'veldro-pack: \'app/sub/a.txt\' holds no payload\n' -- list app/sub/a.txt
check "one file packed twice" 2 "" $'veldro-pack: \'app/sub/a.txt\' would be packed twice as \'a.txt\'\n' -- \
  pack --main app/probe.dll --payload o.bin --file app/sub/a.txt app/sub
check "two files one name" 2 "" $'veldro-pack: \'app/sub/a.txt\' and \'other/a.txt\' would both be packed as \'a.txt\'\n' -- \
  pack --main app/probe.dll --payload o.bin --file other/a.txt app/sub
check "bad version number" 2 "" $'veldro-pack: version \'1.70000\' has a number above 65535, which the version resource cannot hold\n' -- \
  pack --main probe.dll --resource-script o.rc --file-version 1.70000 app

echo "== what pack refuses to pack: one line, exit code 2"
# Which DLLs, icons and templates are refused is tested on the host (pack/app, pack/image); one
# of each here shows that pack checks them. The application folder's own refusals are tested
# here only.
refused() {  # <name> <stderr line> -- <pack args...>
  local name=$1 line=$2
  shift 3
  check "$name" 2 "" "veldro-pack: $line"$'\n' -- pack --main probe.dll --payload refused.bin "$@"
}
echo "not a dll" >text.dll && echo "not an icon" >bad.ico
check "main not a DLL" 2 "" $'veldro-pack: main file \'text.dll\' is not a 64-bit PE DLL\n' -- \
  pack --main text.dll --payload refused.bin
refused "bad icon" "icon 'bad.ico' is not a valid .ico file" -- --icon bad.ico app
refused "template" "template '{TEMP}\\myapp' names no run-unique placeholder ({PID}, {TIME}, {TIME_US} or {RANDOM}) in its last component; the clean-up deletes whatever stands at the target path" -- \
  --template '{TEMP}\myapp' app
mkdir -p empty tree outside && cp "$probe" tree/probe.dll && echo x >outside/secret.txt
check "empty folder" 2 "" $'veldro-pack: directory \'empty\' holds no files\n' -- \
  pack --main app/probe.dll --payload refused.bin empty
ln -s ../outside tree/link
refused "link outside" "'tree/link' is a symbolic link pointing outside 'tree'" -- tree
rm tree/link && echo a >tree/Readme.txt && echo b >tree/README.txt
refused "case" "'tree/Readme.txt' and 'tree/README.txt' differ only in case; Windows folds them into one file" -- tree
rm tree/Readme.txt tree/README.txt && echo x >tree/bad:name.txt
refused "bad name" "'tree/bad:name.txt': name is not a plain relative Windows file name (empty, '.' or '..' parts, a drive, a device name or a character Windows forbids)" -- tree
rm tree/bad:name.txt
# Four components of 255 characters, a file "f" and four separators: 1025 units, more than the
# launcher's 1024-unit name buffer holds with the terminator.
part() { head -c 255 /dev/zero | tr '\0' "$1"; }
deep="tree/$(part b)/$(part c)/$(part d)/$(part e)"
mkdir -p "$deep" && echo x >"$deep/f"
refused "long name" "'$deep/f': name reaches 1024 UTF-16 units" -- tree
rm -rf "tree/$(part b)"
[ ! -e refused.bin ] || fail "a refused pack wrote its payload"

echo "== imports the run could not load"
cp "$shared_runtime" shared.dll
missing=$'\'shared.dll\' imports \'libgcc_s_seh-1.dll\', which is neither in the payload nor a system DLL\n'
missing2=$'\'shared.dll\' imports \'libstdc++-6.dll\', which is neither in the payload nor a system DLL\n'
hint=$'veldro-pack: a run fails to load such a DLL (error 126): link statically (-static), pack the DLL too, or name it with --system-dll if the target system has it\n'
"$pack" pack --main shared.dll --level 1 --payload shared.bin 2>err.txt || fail "a warning failed the pack"
head -n 3 err.txt >warnings.txt
cmp -s warnings.txt <(printf '%s' "veldro-pack: warning: $missing""veldro-pack: warning: $missing2$hint") ||
  fail "import warnings: $(cat err.txt)"
check "strict" 2 "" "veldro-pack: $missing""veldro-pack: $missing2$hint" -- \
  pack --main shared.dll --strict --payload strict.bin
[ ! -e strict.bin ] || fail "--strict wrote the payload"
"$pack" pack --main shared.dll --strict --level 1 --payload named.bin --system-dll LIBSTDC++-6.DLL \
  --system-dll libgcc_s_seh-1.dll 2>err.txt || fail "--system-dll did not satisfy --strict: $(cat err.txt)"

echo "== verify: the whole image"
"$pack" verify "$hello" >/dev/null || fail "verify refused $hello"
full=$(size "$hello")
head -c $((full - 5000)) "$hello" >cut.exe
check "exe cut short" 2 "" "veldro-pack: 'cut.exe' is cut short: its headers promise $full bytes, the file has $((full - 5000))"$'\n' -- verify cut.exe
"$pack" pack --main probe.dll --level 1 --payload good.bin app 2>/dev/null
head -c $(($(size good.bin) - 100)) good.bin >cut.bin
check "payload cut short" 2 "" $'veldro-pack: \'cut.bin\' is cut short: the file ends inside the payload\n' -- verify cut.bin
# Incompressible bytes at the end of the stream: zstd stores them raw, so a byte changed
# there decodes and only the checksum can tell.
mkdir -p raw_tail && cp "$probe" raw_tail/probe.dll && head -c 65536 /dev/urandom >raw_tail/zz_noise.bin
"$pack" pack --main probe.dll --level 1 --payload raw_tail.bin raw_tail 2>/dev/null
cp raw_tail.bin flipped.bin
at=$(($(size raw_tail.bin) - 200))
byte=$(od -An -tu1 -j "$at" -N1 raw_tail.bin | tr -d ' ')
printf "\\$(printf '%03o' $((byte ^ 0xff)))" | dd of=flipped.bin bs=1 seek="$at" conv=notrunc status=none
check "checksum" 2 "" $'veldro-pack: \'flipped.bin\': corrupt frame: Restored data doesn\'t match checksum\n' -- verify flipped.bin

echo "== extract"
"$pack" extract "$hello" out 2>err.txt || fail "extract: $(cat err.txt)"
listing=$("$pack" list "$hello")
entries=$(sed -n 's/^\([0-9]*\) entries, \([0-9]*\) bytes.*/\1 entries, \2 bytes/p' <<<"$listing")
grep -qx "veldro-pack: $entries written below 'out'" err.txt || fail "extract summary: $(cat err.txt)"
cmp -s "out/hello.dll" "$(dirname "$hello")/hello.dll" || fail "extract: hello.dll differs from the packed DLL"

echo "== progress on a terminal"
# 3,000 small files and a slow one to compress, so that the pack takes a few seconds.
mkdir many
head -c 6000000 /dev/urandom | split -b 2000 -a 4 - many/f
seq 1 1500000 >many/slow.txt
script -qec "'$pack' pack --main probe.dll --level 19 --threads 1 --payload many.bin app many" /dev/null >tty.txt
draws=$(grep -o $'\rveldro-pack: *[0-9]*%' tty.txt | wc -l)
last=$(grep -o $'\rveldro-pack: *[0-9]*%' tty.txt | tail -n 1 | tr -d '\r')
seconds=$(sed -n 's/.*ratio [0-9.]*, \([0-9]*\)\.[0-9]* s.*/\1/p' tty.txt)
[ "$last" == "veldro-pack: 100%" ] || fail "the progress line ends at '$last'"
((draws <= 4 * (seconds + 1) + 1)) || fail "$draws redraws in about $seconds s"

echo "== memory: list and verify stream the frame"
truncate -s 600M big.dat
"$pack" pack --main app/probe.dll --level 1 --payload big.bin --file big.dat 2>/dev/null
for command in list verify; do
  (ulimit -v 262144 && "$pack" $command big.bin >/dev/null 2>err.txt) ||
    fail "$command of a 600 MB entry within 256 MiB of address space: $(cat err.txt)"
done

if ((failures)); then
  echo "$failures packer CLI checks failed"
  exit 1
fi
echo "all packer CLI checks passed"
