#!/usr/bin/env bash
# Instruction profile of the launcher's zstd decoder on the benchmark's payload frame: the same
# zstd source and defines as the Windows build, compiled for Linux with the assembly path off
# (it is off on Windows too), run under callgrind. Needs scripts/bench to have run.
# usage: bench/profile_decode.sh [payload.bin]   (default: build/bench/bench/ref_w23.bin)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
payload=${1:-$root/build/bench/bench/ref_w23.bin}
work=$root/build/bench/profile
zstd_lib=$root/build/deps/zstd/lib
mkdir -p "$work"
gcc -O3 -g -DZSTD_DISABLE_ASM -DZSTD_LEGACY_SUPPORT=0 -DDEBUGLEVEL=0 -DZSTD_NO_TRACE \
  -I"$zstd_lib" "$root/bench/decode_frame.c" "$zstd_lib"/common/*.c "$zstd_lib"/decompress/*.c \
  -o "$work/decode_frame"
python3 -c "import sys; sys.path.insert(0, '$root/bench'); import bench; bench.write_frame('$payload', '$work/frame.zst')"
valgrind --tool=callgrind --callgrind-out-file="$work/callgrind.out" "$work/decode_frame" "$work/frame.zst"
callgrind_annotate --inclusive=yes "$work/callgrind.out" >"$work/profile.txt"
sed -n 1,30p "$work/profile.txt"
