#!/usr/bin/env bash
# Launchers built without a compiler, as a user meets them: the installed package's packer,
# in an environment where no compiler can be found, builds the sample application on the
# prebuilt stub, and the exe runs under Wine exactly as the linked one; the resources and
# checksum read back by Windows; two builds give the same bytes; the console variant shares the
# console of cmd, which waits for it; a built exe signs and runs; a refused build leaves the
# earlier output alone; the Windows packer builds under Wine.
# Usage: run.sh <repo> <windows build dir> <scratch dir>
set -euo pipefail
repo=$1 build=$2 work=$3
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all
objdump=x86_64-w64-mingw32-objdump
tests="$build/tests/windows"
pb="$tests/prebuilt"
hello_dll="$build/examples/hello.dll" hello_app="$build/examples/hello-app"
# The product strings the linked hello.exe got from its CMake project, for the built one.
version=$(sed -n 's/^project(VeldroOnefile VERSION \([0-9.]*\) .*/\1/p' "$repo/CMakeLists.txt")
hello_strings=(--company VeldroOnefile --product VeldroOnefile --file-version "$version"
  --product-version "$version")
rm -rf "$work" && mkdir -p "$work/temp" "$work/run"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect_eq() { [ "$1" == "$2" ] || fail "$3: expected [$2], got [$1]"; }

# Wine's output goes to files, never into a pipe: Wine's desktop process, started by the first
# window of a run, inherits the standard handles and would hold a pipe open.
wine_out() {  # <output file> <program> <args...>: stdout and stderr, CR LF as Unix line ends
  local file=$1 status=0
  shift
  wine "$@" >"$file.raw" 2>&1 || status=$?
  tr -d '\r' <"$file.raw" >"$file"
  return $status
}
# run <exe> <args...>: runs the exe from cmd with a TEMP of its own (Wine ignores the Unix
# one), output in $work/out, exit code in $code. Each argument reaches Wine as an argument of
# its own, which Wine quotes for the Windows command line as the launcher's splitting expects.
wtemp=$(winepath -w "$work/temp")
run() {
  local exe=$1
  shift
  code=0
  wine_out "$work/out" cmd /c set "TEMP=$wtemp&&" set "TMP=$wtemp&&" "$(winepath -w "$exe")" "$@" || code=$?
  local left
  left=$(ls "$work/temp")
  [ -z "$left" ] || fail "$exe left in TEMP: $left"
  rm -rf "${work:?}/temp/"*
}
# The values that differ from run to run.
normalize() {
  sed -E -e 's/onefile_[0-9]+_[0-9]{6}_[A-Za-z0-9_-]{11}/onefile_<run>/g' \
    -e 's/(VELDRO_ONEFILE_PARENT|VELDRO_ONEFILE_TIME_US|VELDRO_ONEFILE_RANDOM) = .*/\1 = <run>/' "$work/out"
}
# The same exe runs as the linked one: copied in turn to one path, so that the paths it
# prints agree, and run with the same arguments.
same_runs() {  # <linked exe> <built exe> <expected exit code> <args...>
  local linked=$1 built=$2 expected_code=$3 exe="$work/run/$(basename "$1")" expected
  shift 3
  cp "$linked" "$exe" && run "$exe" "$@" && expected=$(normalize)
  expect_eq "$code" "$expected_code" "exit code of $linked $*"
  cp "$built" "$exe" && run "$exe" "$@"
  expect_eq "$code" "$expected_code" "exit code of $built $*"
  expect_eq "$(normalize)" "$expected" "output of $built $*"
}

echo "== the installed package, in an environment without a compiler"
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
for file in veldro-pack veldro-pack.exe veldro-stub-gui.exe veldro-stub-console.exe; do
  [ -f "$prefix/bin/$file" ] || fail "bin/$file is not installed"
done
clean() { env -i PATH="$prefix/bin" "$@"; }
clean /bin/bash -c 'for tool in cc gcc g++ c++ ld x86_64-w64-mingw32-gcc x86_64-w64-mingw32-g++ \
    x86_64-w64-mingw32-ld x86_64-w64-mingw32-windres windres; do type -P "$tool" && exit 1; done
  exit 0' || fail "a compiler or linker is on the clean PATH"
built="$work/built/hello.exe"
mkdir -p "$work/built"
clean veldro-pack build "${hello_strings[@]}" --main "$hello_dll" -o "$built" "$hello_app" 2>"$work/build.log" ||
  fail "build in the clean environment: $(cat "$work/build.log")"
grep -qx "veldro-pack: wrote '$built', [0-9]* bytes, graphical subsystem" "$work/build.log" ||
  fail "summary line: $(cat "$work/build.log")"

echo "== runs as the linked exe: arguments, exit codes, handoff variables, files, clean-up"
linked="$build/examples/hello.exe"
same_runs "$linked" "$built" 7 "two words" café --exit 7
grep -qx '  argv\[1\] = two words' "$work/out" || fail "an argument with a blank was split: $(cat "$work/out")"
grep -qx '  argv\[2\] = café' "$work/out" || fail "café did not arrive: $(cat "$work/out")"
same_runs "$linked" "$built" 0 "" --exit 0
grep -qx '  argv\[1\] = --exit' "$work/out" || fail "the empty argument was not dropped: $(cat "$work/out")"
grep -q '^  Hello from lib\\greeter.dll$' "$work/out" || fail "hello did not load its greeter.dll"
grep -q '^  VELDRO_ORIGINAL_ARGV0 = ' "$work/out" || fail "no handoff variables: $(cat "$work/out")"
expect_eq "$("$prefix/bin/veldro-pack" list "$built" | grep -v ' at offset ')" \
  "$("$prefix/bin/veldro-pack" list "$linked" | grep -v ' at offset ')" "list of the built exe"
"$prefix/bin/veldro-pack" verify "$built" >/dev/null || fail "verify refused the built exe"

echo "== the same bytes from two builds"
mkdir -p "$work/again"
clean veldro-pack build "${hello_strings[@]}" --main "$hello_dll" -o "$work/again/hello.exe" "$hello_app" 2>/dev/null
cmp -s "$built" "$work/again/hello.exe" || fail "two builds of the same inputs differ"

echo "== resources and checksum, read back"
# The built probe against the linked one with the same strings and icon: every resource (type,
# id, language, size, hash) equal, as Windows enumerates them, and the checksum right.
image() { wine_out "$work/image" "$tests/image_probe.exe" "$(winepath -w "$1")" && cat "$work/image"; }
expect_eq "$(image "$pb/built/pb_app.exe")" "$(image "$pb/linked/pb_app.exe")" "resources of the built probe"
expect_eq "$(image "$built")" "$(image "$linked")" "resources of the built hello.exe"
image "$pb/built/pb_app.exe" | grep -q '^checksum ok$' || fail "checksum: $(image "$pb/built/pb_app.exe")"
for kind in 'type=3 id=1' 'type=3 id=2' 'type=14 id=1' 'type=16 id=1' 'type=24 id=1'; do
  image "$pb/built/pb_app.exe" | grep -q "^resource $kind language=0x0409 " || fail "no resource $kind"
done
wine_out "$work/resources" "$tests/resource_probe.exe" "$(winepath -w "$pb/built/pb_app.exe")"
resources=$(cat "$work/resources")
for line in 'CompanyName=Acme Tools' 'ProductName=Probe "Deluxe"' 'FileDescription=Probe "Deluxe"' \
            'FileVersion=2.3.4.5' 'ProductVersion=2.3-beta' 'OriginalFilename=pb_app.exe' \
            'fixed=2.3.4.5' 'icon groups=1' '<requestedExecutionLevel level="asInvoker" uiAccess="false"/>'; do
  grep -qF -- "$line" <<<"$resources" || fail "resource line missing: $line"
done
# The configuration strings reach the launcher: the template names company and version.
run "$pb/built/pb_app.exe" args
grep -q '^path=.*\\onefile_Acme Tools_2.3-beta-2.3.4.5_[0-9]*_[A-Za-z0-9_-]*\\probe.dll$' "$work/out" ||
  fail "target directory not from the configured template: $(cat "$work/out")"
# The header fields and section table the packer writes are tested on the host
# (pack/image/exe_writer_test.cpp); an independent reader's look at what a user checks first:
grep -q 'Subsystem.*(Windows GUI)' <<<"$($objdump -p "$built")" || fail "built hello.exe is not graphical"

echo "== the console variant shares the console of cmd, which waits for it"
# In a terminal, without redirection: the output goes through the console (Wine draws it with
# cursor escapes; a blank becomes "erase, one right").
console_run() {  # <exe> <probe args>
  script -qc "wine cmd /v:on /c \"$(winepath -w "$1") $2 & echo after=!errorlevel!\"" "$work/typescript" >/dev/null </dev/null
  sed -e 's/\x1b\[K\x1b\[1C/ /g' -e 's/\x1b\[[0-9;?]*[A-Za-z]//g' -e 's/\x1b\][^\x07]*\x07//g' \
    "$work/typescript" | tr -d '\r' | grep -v '^Script '
}
for exe in "$pb/pb_console.exe" "$pb/pb_console_linked.exe"; do
  grep -q 'Subsystem.*(Windows CUI)' <<<"$($objdump -p "$exe")" || fail "$(basename "$exe") is no console program"
  out=$(console_run "$exe" "pid env VELDRO_ONEFILE_PARENT console exit 5")
  child=$(sed -n 's/^pid=//p' <<<"$out") parent=$(sed -n 's/^VELDRO_ONEFILE_PARENT=//p' <<<"$out")
  console=$(sed -n 's/^console=//p' <<<"$out")
  [[ -n "$child" && -n "$parent" && ",$console," == *",$child,"* && ",$console," == *",$parent,"* ]] ||
    fail "$(basename "$exe"): parent and child do not share the console: $out"
  expect_eq "$(grep -v '^$' <<<"$out" | tail -1)" "after=5" "$(basename "$exe"): cmd's errorlevel after the run"
done
same_runs "$pb/pb_console_linked.exe" "$pb/pb_console.exe" 3 args exit 3

echo "== signing"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" \
  -days 2 -subj "/CN=Veldro test signer" >/dev/null 2>&1
osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -n hello -in "$built" \
  -out "$work/signed.exe" >/dev/null
osslsigncode verify -CAfile "$work/cert.pem" -in "$work/signed.exe" >"$work/verify.log" 2>&1 ||
  fail "osslsigncode verify: $(cat "$work/verify.log")"
same_runs "$linked" "$work/signed.exe" 9 --exit 9
"$prefix/bin/veldro-pack" verify "$work/signed.exe" >/dev/null || fail "verify refused the signed exe"

echo "== refusals: one line naming the file, exit 2, no file written"
stub="$prefix/bin/veldro-stub-gui.exe"
mkdir -p "$work/bad"
refuse() {  # <expected exit code> <expected stderr> <build args...>
  local expected_code=$1 expected=$2 out="$work/bad/out/app.exe" err
  shift 2
  rm -rf "$work/bad/out" && mkdir -p "$work/bad/out" && echo earlier >"$out"
  set +e
  err=$("$prefix/bin/veldro-pack" build --main "$hello_dll" -o "$out" "$@" "$hello_app" 2>&1 >/dev/null)
  local got=$?
  set -e
  expect_eq "$got" "$expected_code" "exit code for: $expected"
  expect_eq "$err" "$expected" "message"
  expect_eq "$(cat "$out")" earlier "the earlier output after: $expected"
  expect_eq "$(ls "$work/bad/out")" app.exe "files left after: $expected"
}
# Which stubs are refused, and why, is tested on the host (pack/image/exe_writer_test.cpp).
refuse 2 "veldro-pack: stub '$hello_dll' is not a 64-bit Windows program, so no launcher stub" --stub "$hello_dll"
refuse 1 $'veldro-pack: --console: stub \''"$stub"$'\' is a graphical one\nRun \'veldro-pack build --help\' for the options.' \
  --console --stub "$stub"
host_pack="$build/host-tools/pack/veldro-pack"
set +e
err=$("$host_pack" build --main "$hello_dll" -o "$work/bad/none.exe" "$hello_app" 2>&1)
expect_eq "$?:$err" "2:veldro-pack: no launcher stub beside the packer: '$(dirname "$host_pack")/veldro-stub-gui.exe' is missing; name one with --stub" \
  "build without a stub beside the packer"
err=$("$prefix/bin/veldro-pack" build --main "$hello_dll" -o "$work/bad/nowhere/app.exe" "$hello_app" 2>&1)
expect_eq "$?:$err" "2:veldro-pack: cannot write '$work/bad/nowhere/app.exe'" "build into a missing folder"
set -e
[ ! -e "$work/bad/nowhere" ] || fail "a build into a missing folder left $(ls -R "$work/bad/nowhere")"

echo "== the Windows packer, under Wine"
w() { winepath -w "$1"; }
mkdir -p "$work/wine" "$work/linux"
wine "$prefix/bin/veldro-pack.exe" build "${hello_strings[@]}" --threads 1 --main "$(w "$hello_dll")" -o "$(w "$work/wine/hello.exe")" \
  "$(w "$hello_app")" >"$work/wine.log" 2>&1 || fail "veldro-pack.exe build: $(cat "$work/wine.log")"
same_runs "$linked" "$work/wine/hello.exe" 7 "two words" café --exit 7
clean veldro-pack build "${hello_strings[@]}" --threads 1 --main "$hello_dll" -o "$work/linux/hello.exe" "$hello_app" 2>/dev/null
cmp -s "$work/wine/hello.exe" "$work/linux/hello.exe" || fail "the Windows and the Linux packer give different exes"

if ((failures)); then
  echo "$failures prebuilt-launcher checks failed"
  exit 1
fi
echo "all prebuilt-launcher checks passed"
