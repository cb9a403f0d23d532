"""The benchmark's report: the figures bench.py measured, turned into what the README's targets
speak of (per-file costs, ratios between contenders, memory growth, targets met) and printed
as a table, with the machine and tool versions it ran on. Adds to the results dictionary that
bench.py writes to results.json.
"""
import os
import platform
import subprocess
MB = 1_000_000
MiB = 1 << 20

TARGETS = {
    "launcher_over_ideal_max": 1.10, "7zip_over_launcher_min": 3.0, "startup_over_direct_max": 2.2,
    "many_launcher_over_7zip_rmdir_max": 0.5, "many_cleanup_share_max": 0.2,
    "memory": "independent of payload size, below the frame window + 4 MiB"}


# The setting of a run, for the report's head.

def tool_version(command):
    try:
        return subprocess.run(command, capture_output=True, text=True).stdout.strip().splitlines()[0]
    except (OSError, IndexError):
        return "unknown"


def machine():
    model = "unknown"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    with open("/proc/meminfo") as f:
        memory_kb = int(f.readline().split()[1])
    return {"cpu": model, "cores": os.cpu_count(), "memory_gib": round(memory_kb / 2**20, 1),
            "kernel": platform.release(), "load_average_at_start": os.getloadavg()[0]}


def add_per_file(results, trees, tree_infos):
    """Per file: what a launcher's extraction and clean-up cost beyond those of the one-entry
    launcher, divided by the entries beyond its one."""
    per_file = {}
    for prefix, _, _ in trees:
        for suffix in ("", "_before"):
            name, one = prefix + "launcher" + suffix, "startup_launcher" + suffix
            if name in results["phases"] and one in results["phases"]:
                extra = tree_infos[prefix]["entries"] - 1
                per_file[name] = {k + "_ms_per_file": round((results["phases"][name][k]["median_ms"] -
                                                            results["phases"][one][k]["median_ms"]) / extra, 4)
                                  for k in ("extract", "cleanup")}
    results["per_file"] = per_file


def add_ratios(results, memory_pairs, window):
    """The ratios between contenders and between memory figures, and which targets they meet."""
    memory = results["memory"]
    base = memory["one"]
    t = results["times"]
    med = lambda name: t[name]["median_ms"] if name in t else None
    ratio = {"launcher_over_ideal": round(med("launcher") / med("ideal"), 3),
             "many_launcher_over_ideal": round(med("many_launcher") / med("many_ideal"), 3),
             "many_cleanup_share": results["phases"].get("many_launcher", {}).get("cleanup_share"),
             "startup_over_direct": round(med("startup_launcher") / med("startup_direct"), 3)}
    if "7zip" in t:
        ratio["7zip_over_launcher"] = round(med("7zip") / med("launcher"), 3)
        ratio["many_launcher_over_7zip"] = round(med("many_launcher") / med("many_7zip"), 3)
        ratio["many_launcher_over_7zip_rmdir"] = round(med("many_launcher") / med("many_7zip_rmdir"), 3)
    for name in t:
        if name.endswith("_before"):
            ratio[name[:-len("_before")] + "_after_over_before"] = round(med(name[:-len("_before")]) / med(name), 3)
    mem_ratios = {}
    for small, large, w in memory_pairs:
        a, b = memory[small], memory[large]
        mem_ratios[f"w{w}"] = {
            "parent_ws_large_over_small": round(b["parent_peak_working_set"] / max(1, a["parent_peak_working_set"]), 3),
            "parent_private_large_over_small": round(b["parent_peak_private"] / max(1, a["parent_peak_private"]), 3),
            "child_private_large_over_small": round(b["child_peak_private"] / max(1, a["child_peak_private"]), 3),
            "parent_private_above_one_entry_mib": round((b["parent_peak_private"] - base["parent_peak_private"]) / MiB, 1),
            "limit_mib": (1 << w) / MiB + 4}
    ratio["memory"] = mem_ratios
    main_memory = mem_ratios[f"w{window}"]
    met = {"launcher_over_ideal": ratio["launcher_over_ideal"] <= TARGETS["launcher_over_ideal_max"],
           "startup_over_direct": ratio["startup_over_direct"] <= TARGETS["startup_over_direct_max"],
           # The parent decodes everything: at ten times the payload its private bytes above
           # those of a one-entry launcher stay below the frame window + 4 MiB. The child only
           # reads the first name: its private bytes do not grow with the payload.
           "parent_memory_below_window_plus_4mib": main_memory["parent_private_above_one_entry_mib"] <= main_memory["limit_mib"],
           "child_memory_independent_of_payload": main_memory["child_private_large_over_small"] <= 1.10}
    if ratio["many_cleanup_share"] is not None:
        met["many_cleanup_at_most_a_fifth"] = ratio["many_cleanup_share"] <= TARGETS["many_cleanup_share_max"]
    if "7zip_over_launcher" in ratio:
        met["7zip_over_launcher"] = ratio["7zip_over_launcher"] >= TARGETS["7zip_over_launcher_min"]
        met["many_launcher_at_most_half_7zip_rmdir"] = (ratio["many_launcher_over_7zip_rmdir"] <=
                                                        TARGETS["many_launcher_over_7zip_rmdir_max"])
    ratio["met"] = met
    results["ratios"] = ratio
    results["targets"] = TARGETS


def print_table(r, memory_pairs):
    print(f"\nBenchmark ({r['set']}): {r['tree']['entries']} entries, {r['tree']['bytes'] / MB:.1f} MB, "
          f"largest {r['tree']['largest'] / MB:.1f} MB; many-files tree {r['many_tree']['entries']} entries, "
          f"{r['many_tree']['bytes'] / MB:.1f} MB; {r['runs']} runs each, interleaved")
    print(f"{r['machine']['cpu']}, {r['machine']['cores']} cores; {r['wine']}; host {r['zstd_host']}")
    print(f"\n{'contender':<24}{'median ms':>11}{'min ms':>10}{'max ms':>10}")
    for name, s in r["times"].items():
        print(f"{name:<24}{s['median_ms']:>11.1f}{s['min_ms']:>10.1f}{s['max_ms']:>10.1f}")
    print(f"\n{'launcher':<24}{'extract ms':>11}{'clean-up ms':>12}{'clean-up share':>15}"
          f"{'extract ms/file':>16}{'clean-up ms/file':>17}")
    for name, p in r["phases"].items():
        f = r["per_file"].get(name, {})
        print(f"{name:<24}{p['extract']['median_ms']:>11.1f}{p['cleanup']['median_ms']:>12.1f}"
              f"{p['cleanup_share']:>15.3f}{f.get('extract_ms_per_file', float('nan')):>16.4f}"
              f"{f.get('cleanup_ms_per_file', float('nan')):>17.4f}")
    print("ideal baseline steps (ms): " + ", ".join(f"{k} {v:.1f}" for k, v in r["ideal_steps_ms"].items()))
    print("many: ideal steps (ms): " + ", ".join(f"{k} {v:.1f}" for k, v in r["many_ideal_steps_ms"].items()))
    ra = r["ratios"]
    print(f"\nlauncher / ideal          {ra['launcher_over_ideal']:.3f}   (target <= 1.10)")
    if "7zip_over_launcher" in ra:
        print(f"7-Zip / launcher          {ra['7zip_over_launcher']:.3f}   (target >= 3)")
    print(f"start-up / direct         {ra['startup_over_direct']:.3f}   (target <= 2.2)")
    print(f"many: launcher / ideal    {ra['many_launcher_over_ideal']:.3f}")
    if "many_launcher_over_7zip" in ra:
        print(f"many: launcher / 7-Zip    {ra['many_launcher_over_7zip']:.3f}   (7-Zip's output deleted file by file)")
        print(f"many: launcher / 7-Zip    {ra['many_launcher_over_7zip_rmdir']:.3f}   (then rmdir /s; target <= 0.5)")
    if ra["many_cleanup_share"] is not None:
        print(f"many: clean-up / run      {ra['many_cleanup_share']:.3f}   (target <= 0.2)")
    for name, value in ra.items():
        if name.endswith("_after_over_before"):
            print(f"{name:<26}{value:.3f}")
    for w, m in ra["memory"].items():
        print(f"memory {w}: parent private 10x / 1x {m['parent_private_large_over_small']:.3f}, "
              f"10x above a one-entry launcher {m['parent_private_above_one_entry_mib']:.1f} MiB "
              f"(limit window + 4 MiB = {m['limit_mib']:.0f} MiB)")
    print("targets met: " + ", ".join(f"{k} {'yes' if v else 'NO'}" for k, v in ra["met"].items()))
    print(f"\n{'payload':<10}{'window':>7}{'decoded MB':>12}{'parent WS MiB':>15}{'parent priv MiB':>17}"
          f"{'child WS MiB':>14}{'child priv MiB':>16}")
    for name, m in r["memory"].items():
        if name == "one":
            continue
        print(f"{name:<10}{m['window_log']:>7}{m['payload_decoded_bytes'] / MB:>12.1f}"
              f"{m['parent_peak_working_set'] / MiB:>15.1f}{m['parent_peak_private'] / MiB:>17.1f}"
              f"{m['child_peak_working_set'] / MiB:>14.1f}{m['child_peak_private'] / MiB:>16.1f}")
    one = r["memory"]["one"]
    print(f"{'one-entry':<10}{'':>7}{'':>12}{one.get('parent_peak_working_set', 0) / MiB:>15.1f}"
          f"{one.get('parent_peak_private', 0) / MiB:>17.1f}{one.get('child_peak_working_set', 0) / MiB:>14.1f}"
          f"{one.get('child_peak_private', 0) / MiB:>16.1f}")
    print(f"\n{'window log':<12}{'payload bytes':>15}{'ratio':>8}{'decode ms':>11}{'parent priv MiB':>17}")
    for w, v in r["window_logs"].items():
        print(f"{w:<12}{v['payload_bytes']:>15}{v['ratio']:>8.4f}{v['decode_ms']:>11.1f}"
              f"{v['parent_peak_private'] / MiB:>17.1f}")
