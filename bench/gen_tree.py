#!/usr/bin/env python3
"""Writes the benchmark's application tree, the same bytes on every run.

The tree imitates a real application: the main DLL first, then 74 files of real Windows PE
code (the DLLs that Debian's Wine ships, read in name order, each file starting at the start of
a DLL, cut or continued with the next DLLs to its size), in a few folders. The last tenth of
each file is pseudo-random bytes from a fixed seed: it stands for the already compressed data
(images, archives) that real applications carry, and brings the zstd ratio from about 0.17
(PE code alone) to about a quarter. At scale 1 the tree holds 75 files, about 63 MB, the
largest 33 MB; the sizes scale linearly.

With --many N the tree is instead the main DLL and N small files of 4-12 KiB (sizes from a
fixed seed; PE code read on from where the file before stopped, the last tenth again
pseudo-random) over 40 folders, 8 top-level ones with 4 subfolders each: an application made of
many small files (about 40 MB at N = 5000), where the cost per file is what counts.

usage: gen_tree.py --out DIR --main bench_app.dll [--scale 1.0 | --many N] [--sources DIR]
"""
import argparse
import hashlib
import json
import os
import shutil
import sys

TOTAL = 63_000_000
LARGEST = 33_000_000
LARGEST_INDEX = 9
ENTRIES = 74  # besides the main DLL
RATIO = 0.92  # each of the other files is this much smaller than the one before
RANDOM_SHARE = 10  # one tenth of each file is incompressible
FOLDERS = ["lib\\", "lib\\plugins\\", "data\\", "", "share\\res\\"]
DEFAULT_SOURCES = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows"
MANY_FOLDERS = [f"m{top}\\" + (f"s{sub}\\" if sub else "") for top in range(8) for sub in range(5)]
SMALL_MIN, SMALL_MAX = 4096, 12288


def sizes(scale, main_size):
    """The 74 file sizes: one largest file and a geometric run for the rest."""
    largest = max(1, round(LARGEST * scale))
    rest = max(ENTRIES - 1, round(TOTAL * scale) - largest - main_size)
    weights = [RATIO ** i for i in range(ENTRIES - 1)]
    total_weight = sum(weights)
    run = [max(1, int(rest * w / total_weight)) for w in weights]
    run[0] += rest - sum(run)
    return run[:LARGEST_INDEX] + [largest] + run[LARGEST_INDEX:]


def sources(directory):
    files = []
    for name in sorted(os.listdir(directory)):
        path = os.path.join(directory, name)
        if os.path.isfile(path) and not os.path.islink(path):
            with open(path, "rb") as f:
                if f.read(2) == b"MZ":
                    files.append(path)
    if not files:
        sys.exit(f"gen_tree: no PE files in {directory}")
    return files


class PeStream:
    """The source PE files one after the other, endlessly."""

    def __init__(self, files):
        self.files, self.index, self.data = files, 0, b""

    def read(self, n):
        out = b""
        while len(out) < n:
            if not self.data:
                with open(self.files[self.index % len(self.files)], "rb") as f:
                    self.data = f.read()
                self.index += 1
            take = self.data[:n - len(out)]
            self.data = self.data[len(take):]
            out += take
        return out


def write_many(out_dir, count, pe_files, digest):
    """The many-files tree; returns its (name, size) list."""
    draws = hashlib.shake_128(b"veldro-bench many").digest(4 * count)
    stream = PeStream(pe_files)
    manifest = []
    for index in range(count):
        size = SMALL_MIN + int.from_bytes(draws[4 * index:4 * index + 4], "little") % (SMALL_MAX - SMALL_MIN + 1)
        name = MANY_FOLDERS[index % len(MANY_FOLDERS)] + f"{index:04d}.bin"
        path = os.path.join(out_dir, *name.split("\\"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        noise = hashlib.shake_128(f"veldro-bench many {index}".encode()).digest(size // RANDOM_SHARE)
        content = stream.read(size - len(noise)) + noise
        with open(path, "wb") as out:
            out.write(content)
        digest.update(content)
        manifest.append((name, size))
    return manifest


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--out", required=True)
    parser.add_argument("--main", required=True)
    parser.add_argument("--scale", type=float, default=1.0)
    parser.add_argument("--many", type=int, default=0)
    parser.add_argument("--sources", default=DEFAULT_SOURCES)
    args = parser.parse_args()

    pe_files = sources(args.sources)
    if os.path.exists(args.out):
        shutil.rmtree(args.out)
    os.makedirs(args.out)
    main_name = os.path.basename(args.main)
    shutil.copyfile(args.main, os.path.join(args.out, main_name))
    manifest = [(main_name, os.path.getsize(args.main))]

    digest = hashlib.sha256()
    cursor = 0  # index of the next source file to start an entry with
    ref_sizes = [] if args.many else sizes(args.scale, os.path.getsize(args.main))
    if args.many:
        manifest += write_many(args.out, args.many, pe_files, digest)
    for index, size in enumerate(ref_sizes):
        first = pe_files[cursor % len(pe_files)]
        name = FOLDERS[index % len(FOLDERS)] + f"{index:02d}_{os.path.basename(first)}"
        path = os.path.join(args.out, *name.split("\\"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        noise = hashlib.shake_128(f"veldro-bench {index}".encode()).digest(size // RANDOM_SHARE)
        left = size - len(noise)
        with open(path, "wb") as out:
            while left > 0:
                with open(pe_files[cursor % len(pe_files)], "rb") as src:
                    chunk = src.read(left)
                out.write(chunk)
                digest.update(chunk)
                left -= len(chunk)
                cursor += 1
            out.write(noise)
            digest.update(noise)
        manifest.append((name, size))

    info = {"entries": len(manifest), "bytes": sum(s for _, s in manifest),
            "largest": max(s for _, s in manifest), "content_sha256": digest.hexdigest(),
            "sources": args.sources, "files": manifest}
    with open(args.out.rstrip("/") + ".json", "w") as f:
        json.dump(info, f, indent=1)


if __name__ == "__main__":
    main()
