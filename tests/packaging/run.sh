#!/usr/bin/env bash
# Packaging as a user meets it: a project of its own consumes the repository through
# add_subdirectory() and through the installed package (find_package with a version), with
# single- and multi-config Ninja, builds onefile exes with and without product strings, and
# gets the same bytes from two clean builds; a build with nothing changed does nothing, and
# one after a DIRECTORY changed (a file deleted, renamed, rewritten, or written by a DEPENDS
# custom target) packs exactly what the folder holds; the exe carries its resources as Windows
# reads them and survives Authenticode signing. (The packer's refusals, list and verify:
# cli.sh and the host tests.)
# Usage: run.sh <repo> <windows build dir> <scratch dir>
set -euo pipefail
repo=$1 build=$2 work=$3
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all
pack="$build/host-tools/pack/veldro-pack"
toolchain="$repo/cmake/mingw-w64-x86_64.cmake"
rm -rf "$work" && mkdir -p "$work"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect_eq() { [ "$1" == "$2" ] || fail "$3: expected [$2], got [$1]"; }

# A 16x16 32-bit icon: directory, one entry, bitmap header, pixels and mask.
icon="$work/app.ico"
{
  printf '\x00\x00\x01\x00\x01\x00'
  printf '\x10\x10\x00\x00\x01\x00\x20\x00\x68\x04\x00\x00\x16\x00\x00\x00'
  printf '\x28\x00\x00\x00\x10\x00\x00\x00\x20\x00\x00\x00\x01\x00\x20\x00'
  head -c 28 /dev/zero
  head -c 1088 /dev/zero | tr '\0' '\x7f'
} >"$icon"

# configure <build dir> <cmake args...>: a consumer build with a data folder of its own
# (<build dir>.data) that the tests below change between builds.
configure() {
  local dir=$1; shift
  mkdir -p "$dir.data/docs"
  echo one >"$dir.data/docs/one.txt" && echo two >"$dir.data/two.txt" && echo first >"$dir.data/note.txt"
  cmake -S "$repo/tests/consumer" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCONSUMER_ICON="$icon" -DCONSUMER_DATA="$dir.data" "$@" >"$dir.log" 2>&1 || { cat "$dir.log"; return 1; }
}
build() {  # <build dir> [cmake --build args...]
  local dir=$1; shift
  cmake --build "$dir" "$@" >>"$dir.log" 2>&1 || { cat "$dir.log"; return 1; }
}
# A second build with nothing changed does nothing at all.
expect_noop() {  # <build dir> [cmake --build args...]
  local out
  out=$(cmake --build "$@" 2>&1)
  expect_eq "$out" "ninja: no work to do." "a build of $1 with nothing changed"
}
# The entry names of an exe, one a line.
entries() { "$pack" list "$1" | sed -n 's/^ *[0-9][0-9]*  //p'; }

echo "== add_subdirectory route: Ninja, and Ninja Multi-Config"
configure "$work/sub" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELDRO_REPO="$repo" -DBUILD_TESTING=OFF
build "$work/sub"
expect_noop "$work/sub"
configure "$work/sub-mc" -G "Ninja Multi-Config" -DCMAKE_CONFIGURATION_TYPES="Release;Debug" \
  -DVELDRO_REPO="$repo" -DBUILD_TESTING=OFF
build "$work/sub-mc" --config Release
expect_noop "$work/sub-mc" --config Release
expect_eq "$(entries "$work/sub-mc/Release/consumer_staged.exe")" $'consumer_app.dll\nconsumer_plugin.dll' \
  "entries of the multi-config staged exe"

echo "== installed package route: two clean builds, and Ninja Multi-Config"
cmake --install "$build" --prefix "$work/prefix" >/dev/null
configure "$work/pkg1" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$work/prefix"
build "$work/pkg1"
configure "$work/pkg2" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$work/prefix" -DCONSUMER_WRITER=ON
build "$work/pkg2"
cmp "$work/pkg1/consumer-app.exe" "$work/pkg2/consumer-app.exe" || fail "two clean builds differ"
# The launcher compiled from source in the consumer's own tree gives the same bytes too.
cmp "$work/sub/consumer-app.exe" "$work/pkg1/consumer-app.exe" || fail "the two routes give different exes"
expect_noop "$work/pkg1"
configure "$work/pkg-mc" -G "Ninja Multi-Config" -DCMAKE_CONFIGURATION_TYPES="Release;Debug" \
  -DCMAKE_PREFIX_PATH="$work/prefix"
for config in Release Debug; do
  build "$work/pkg-mc" --config $config
  expect_noop "$work/pkg-mc" --config $config
done

for exe in "$work/sub/consumer-app.exe" "$work/pkg1/consumer-app.exe" "$work/sub-mc/Release/consumer_defaults.exe" \
           "$work/pkg-mc/Debug/consumer_defaults.exe"; do
  # Output to a file, not a pipe: a desktop process that Wine starts for the launcher's window
  # inherits the handles and would keep a pipe open.
  set +e
  wine "$exe" >"$work/run.out" 2>&1
  code=$?
  set -e
  out=$(tr -d '\r' <"$work/run.out")
  expect_eq "$code" 42 "exit code of $exe"
  expect_eq "$out" $'consumer ok: greetings from the payload' "output of $exe"
done

echo "== linked by hand from the installed package, as the README shows"
P="$work/prefix" entry="$work/prefix/lib/veldro-onefile/objects-Release/veldro_launcher_entry/launcher"
mkdir -p "$work/manual" && cp "$work/pkg1/consumer_app.dll" "$repo/tests/consumer/greeting.txt" "$work/manual/"
(cd "$work" &&
  "$P/bin/veldro-pack" pack --main consumer_app.dll --object app.obj --resource-script app.rc \
    --output-name myapp.exe manual 2>/dev/null &&
  x86_64-w64-mingw32-windres -O coff app.rc app.res &&
  x86_64-w64-mingw32-g++-posix -o myapp.exe "$entry/main.cpp.obj" "$entry/build_inputs.cpp.obj" \
    app.obj app.res "$P/lib/libveldro_launcher.a" "$P/lib/libveldro_zstd.a" \
    -municode -mwindows -static -s -Wl,--no-insert-timestamp -Wl,--stack,8388608 -Wl,--file-alignment,4096) ||
  fail "the manual link line"
set +e
wine "$work/myapp.exe" >"$work/run.out" 2>&1
expect_eq "$?" 42 "exit code of the exe linked by hand"
set -e

echo "== the exe follows the files of a DIRECTORY"
pkg1="$work/pkg1"
expect_eq "$(entries "$pkg1/consumer_defaults.exe")" \
  $'consumer_app.dll\ndocs\\one.txt\nnote.txt\ntwo.txt\ngreeting.txt\nconsumer_plugin.dll' \
  "entries of the generator-expression exe"
rm "$pkg1.data/docs/one.txt"
build "$pkg1"
expect_eq "$(entries "$pkg1/consumer_defaults.exe")" $'consumer_app.dll\nnote.txt\ntwo.txt\ngreeting.txt\nconsumer_plugin.dll' \
  "entries after a file was deleted"
mv "$pkg1.data/two.txt" "$pkg1.data/docs/2.txt"
build "$pkg1"
expect_eq "$(entries "$pkg1/consumer_defaults.exe")" $'consumer_app.dll\ndocs\\2.txt\nnote.txt\ngreeting.txt\nconsumer_plugin.dll' \
  "entries after a file was renamed into a subfolder"
echo changed >"$pkg1.data/note.txt"
build "$pkg1"
rm -rf "$work/x" && "$pack" extract "$pkg1/consumer_defaults.exe" "$work/x" 2>/dev/null
expect_eq "$(cat "$work/x/note.txt")" changed "note.txt after it changed"
expect_noop "$pkg1"
# A custom target that writes into a DIRECTORY: its output is packed in the same build.
echo second >"$work/pkg2.data/note.txt"
build "$work/pkg2"
rm -rf "$work/x" && "$pack" extract "$work/pkg2/consumer_written.exe" "$work/x" 2>/dev/null
expect_eq "$(cat "$work/x/note.txt")" second "the note a custom target wrote in the same build"
# ... and a build that changes nothing leaves the exe alone.
before=$(stat -c %Y.%y "$work/pkg2/consumer_written.exe")
sleep 1.1
build "$work/pkg2"
expect_eq "$(stat -c %Y.%y "$work/pkg2/consumer_written.exe")" "$before" "the exe after a build that changed nothing"

exe="$work/sub/consumer-app.exe"
echo "== resources"
# Through files, never a pipe: a Wine desktop process that starts meanwhile inherits the
# standard handles and would hold a pipe (and this test) open.
probe_resources() {
  wine "$build/tests/windows/resource_probe.exe" "$(winepath -w "$1")" >"$work/resources.out" 2>&1
  tr -d '\r' <"$work/resources.out"
}
resources=$(probe_resources "$exe")
for line in 'CompanyName=Acme Tools' 'ProductName=Consumer "Demo"' 'FileDescription=Consumer "Demo"' \
            'FileVersion=2.3.4.5' 'ProductVersion=2.3' 'OriginalFilename=consumer-app.exe' \
            'fixed=2.3.4.5' 'icon groups=1' \
            '<requestedExecutionLevel level="asInvoker" uiAccess="false"/>' \
            'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' \
            '{e2011457-1546-43c5-a5fe-008deee3d3f0}' '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}'; do
  grep -qF -- "$line" <<<"$resources" || fail "resource line missing: $line"
done
# Without product strings: the project's name and version. Free-form versions: the numeric
# field takes the leading numbers.
resources=$(probe_resources "$work/sub/consumer_defaults.exe")
for line in CompanyName=consumer ProductName=consumer FileVersion=3.1.4 ProductVersion=3.1.4 fixed=3.1.4.0; do
  grep -qxF -- "$line" <<<"$resources" || fail "consumer_defaults: resource line missing: $line"
done
resources=$(probe_resources "$work/sub/consumer_staged.exe")
for line in FileVersion=2.1.0-beta ProductVersion=2.1.0-beta fixed=2.1.0.0; do
  grep -qxF -- "$line" <<<"$resources" || fail "consumer_staged: resource line missing: $line"
done
grep -qF '<longPathAware xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">true</longPathAware>' \
  <<<"$resources" || fail "manifest is not long-path aware"

echo "== Authenticode signing"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" \
  -days 2 -subj "/CN=Veldro test signer" >/dev/null 2>&1
osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -n "consumer" \
  -in "$exe" -out "$work/signed.exe" >/dev/null
osslsigncode verify -CAfile "$work/cert.pem" -in "$work/signed.exe" >"$work/verify.log" 2>&1 ||
  fail "osslsigncode verify: $(cat "$work/verify.log")"
set +e
wine "$work/signed.exe" >/dev/null 2>&1
expect_eq "$?" 42 "exit code of the signed exe"
set -e
"$pack" verify "$work/signed.exe" >/dev/null || fail "veldro-pack verify refused the signed exe"

if ((failures)); then
  echo "$failures packaging checks failed"
  exit 1
fi
echo "all packaging checks passed"
