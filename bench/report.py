#!/usr/bin/env python3
"""report.py --out OUT --data DATA --rounds N: the table of a bench run (bench/run.sh).

Reads OUT/NAME-R.txt (key=value) and OUT/NAME-R.paths (flagged files) of every
round, prints the timing table, the walker's profile and its memory, and checks
that the scanners flag the same files. Exits 1 when they do not.
"""

import argparse
import os
import statistics
import sys

TARGET_RATIO = 1.15


def read_keys(path):
    keys = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            k, sep, v = line.strip().partition("=")
            if sep:
                keys[k] = v
    return keys


def read_paths(path, wine):
    with open(path, encoding="utf-8") as f:
        lines = [line.rstrip("\r\n") for line in f if line.strip()]
    if wine:  # "D:\a\b.dll" -> "a/b.dll"
        lines = [line[3:].replace("\\", "/") for line in lines]
    return lines


def is_candidate(name):
    upper = "".join(chr(ord(c) - 32) if "a" <= c <= "z" else c for c in name)
    return ".DLL" in upper or ".EXE" in upper


class Runs:
    def __init__(self, out, name, rounds, wine):
        self.name = name
        self.keys = [read_keys(os.path.join(out, f"{name}-{r}.txt")) for r in range(1, rounds + 1)]
        self.paths = [read_paths(os.path.join(out, f"{name}-{r}.paths"), wine) for r in range(1, rounds + 1)]
        self.seconds = [float(k["seconds"]) for k in self.keys]
        self.best_index = min(range(rounds), key=lambda i: self.seconds[i])

    @property
    def best(self):
        return self.seconds[self.best_index]

    @property
    def best_keys(self):
        return self.keys[self.best_index]

    def value(self, key):
        return self.best_keys.get(key, "")


def timing_table(rows, minimal):
    print(f"{'scanner':<44} {'files':>7} {'flagged':>7} {'best s':>7} {'median s':>8} {'files/s':>8} {'vs minimal':>10}")
    for label, runs in rows:
        files = int(runs.value("files"))
        print(f"{label:<44} {files:>7} {runs.value('flagged'):>7} {runs.best:>7.3f} "
              f"{statistics.median(runs.seconds):>8.3f} {files / runs.best:>8.0f} {runs.best / minimal.best:>9.2f}x")


def check_sets(walker, minimal, yara, expected):
    """The flagged sets of every round; yara sees no file names, so its matches are cut to candidates."""
    ok = True
    for runs in (walker, minimal, yara):
        if any(set(p) != set(runs.paths[0]) for p in runs.paths[1:]):
            print(f"MISMATCH: {runs.name} flagged different files in different rounds")
            ok = False
    yara_all = set(yara.paths[0])
    yara_candidates = {p for p in yara_all if is_candidate(p.rsplit("/", 1)[-1])}
    sets = {
        "walker": set(walker.paths[0]),
        "minimal": set(minimal.paths[0]),
        "yara (candidate names)": yara_candidates,
        "generator": set(expected),
    }
    for name, paths in sets.items():
        if paths != sets["generator"]:
            ok = False
            missing = sorted(sets["generator"] - paths)
            extra = sorted(paths - sets["generator"])
            print(f"MISMATCH: {name} misses {len(missing)} and adds {len(extra)} files against the generator")
            for p in missing[:10]:
                print(f"  missing {p}")
            for p in extra[:10]:
                print(f"  extra   {p}")
    print(f"yara matched {len(yara_all)} files, {len(yara_all) - len(yara_candidates)} of them not candidates "
          f"by name (source files naming the function); compared on the {len(yara_candidates)} candidates")
    if ok:
        print(f"flagged sets: OK, all three list the same {len(sets['generator'])} files, as the generator expects")
    return ok


def profile(runs, minimal):
    walker, bare, hidden, counted = runs["walker"], runs["bare"], runs["hidden"], runs["counted"]
    c = counted.best_keys
    print("\nwhere the walker's time goes (best of the rounds):")
    print(f"  minimal Win32 loop                              {minimal.best:7.3f} s")
    print(f"  walker, empty sink (no window work at all)      {bare.best:7.3f} s  {bare.best / minimal.best:5.2f}x  "
          f"walker's own code {bare.best - minimal.best:+.3f} s")
    print(f"  walker, page sink, window never shown           {hidden.best:7.3f} s  {hidden.best / minimal.best:5.2f}x")
    print(f"  walker, page sink, scan page shown              {walker.best:7.3f} s  {walker.best / minimal.best:5.2f}x  "
          f"window work {walker.best - bare.best:+.3f} s")
    print(f"  counted run (page sink, shown)                  {counted.best:7.3f} s, of which:")
    for label, calls, secs in (("message-loop turns (DoEvents)", "yields", "yield_seconds"),
                               ("label repaints", "status", "status_seconds"),
                               ("result appends", "results", "result_seconds"),
                               ("version lookups (timed apart)", "lookups", "lookup_seconds")):
        n, t = int(c.get(calls, 0)), float(c.get(secs, 0))
        per = f"{t / n * 1e6:8.0f} us each" if n else ""
        print(f"    {label:<34} {n:>7} calls {t:7.3f} s {per}")
    p = counted.keys[0]
    if "probe_appends" in p:
        n = int(p["probe_appends"])
        print(f"  one append to the visible result box, {n} lines again ({p['probe_text_chars']} characters at the end):")
        for label, key in (("GetWindowTextLengthA", "probe_length_seconds"), ("EM_SETSEL", "probe_setsel_seconds"),
                           ("EM_REPLACESEL", "probe_replacesel_seconds"),
                           ("the repaint in the next DoEvents", "probe_paint_seconds")):
            print(f"    {label:<34} {float(p[key]) / n * 1e6:8.0f} us")
        print(f"    first tenth {p['probe_first_tenth_us']} us, last tenth {p['probe_last_tenth_us']} us per append; "
              f"one SetScrollInfo with redraw on a scroll bar: {p['probe_scrollinfo_us']} us")


MEMORY_TREES = (("mem-flat", 1), ("mem-few", 20), ("mem-chains", 20000), ("mem-wide", 20000), ("mem-main", 10000))


def memory(out, walker, minimal):
    print("\nmemory (KB): working set before the walk, its peak after, and the growth; the minimal loop for comparison")
    print(f"  {'tree':<11} {'folders':>7} {'files':>7} {'queue max':>9} {'before':>7} {'peak':>7} {'growth':>7}"
          f"   {'minimal loop growth':>19}")
    rows = {}
    for name, folders in MEMORY_TREES:
        k = read_keys(os.path.join(out, f"{name}.txt"))
        m = read_keys(os.path.join(out, f"{name}-minimal.txt"))
        k["growth"] = int(k["peak_ws_kb"]) - int(k["ws_before_kb"])
        k["minimal_growth"] = int(m["peak_ws_kb"]) - int(m["ws_before_kb"])
        rows[name] = k
        print(f"  {name:<11} {folders:>7} {k['files']:>7} {k.get('queue_max', ''):>9} {k['ws_before_kb']:>7} "
              f"{k['peak_ws_kb']:>7} {k['growth']:>7}   {k['minimal_growth']:>19}")
    bare = read_keys(os.path.join(out, "mem-main-bare.txt"))
    print(f"  {'mem-main, empty sink (no window work)':<47} {bare['ws_before_kb']:>7} {bare['peak_ws_kb']:>7} "
          f"{int(bare['peak_ws_kb']) - int(bare['ws_before_kb']):>7}")
    wide, flat = rows["mem-wide"], rows["mem-flat"]
    queued = int(wide["queue_max"]) - int(flat["queue_max"])
    if queued > 0:
        print(f"  per queued folder (mem-wide against mem-flat, each 20,000 entries in one listing): "
              f"{(wide['growth'] - flat['growth']) * 1024 / queued:.0f} bytes")
    print(f"  timed walker runs on the main tree: peak working set {walker.value('peak_ws_kb')} KB "
          f"(before the scan {walker.value('ws_before_kb')} KB); minimal loop peak {minimal.value('peak_ws_kb')} KB")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--out", required=True)
    ap.add_argument("--data", required=True)
    ap.add_argument("--rounds", type=int, required=True)
    args = ap.parse_args()
    out, rounds = args.out, args.rounds
    walker = Runs(out, "walker", rounds, True)
    minimal = Runs(out, "minimal", rounds, True)
    yara = Runs(out, "yara", rounds, False)
    yara1 = Runs(out, "yara1", rounds, False)
    rows = [
        ("program's walker, page sink (Wine, 1 CPU)", walker),
        ("minimal Win32 loop (Wine, 1 CPU)", minimal),
        ("yara -r, every file (native)", yara),
        ("yara -r -p 1, every file (native, 1 CPU)", yara1),
    ]
    loads = [open(os.path.join(out, f"load-{w}")).read().strip() for w in ("start", "end")]
    print(f"\nload average at the start {loads[0]}, at the end {loads[1]} (other work on the machine slows the rows)")
    timing_table(rows, minimal)
    ratio = walker.best / minimal.best
    print(f"\nwalker / minimal loop: {ratio:.2f}x (target {TARGET_RATIO}x: {'met' if ratio <= TARGET_RATIO else 'missed'}); "
          f"walker / yara -r: {walker.best / yara.best:.2f}x (target below 1: "
          f"{'met' if walker.best < yara.best else 'missed'})")
    print(f"walker publisher column: {walker.value('publisher_unknown')} of {walker.value('flagged')} lines say 未知; "
          f"not examinable: {walker.value('not_examinable')}")
    with open(os.path.join(args.data, "tree.expected"), encoding="utf-8") as f:
        expected = [line.rstrip("\n") for line in f if line.strip()]
    ok = check_sets(walker, minimal, yara, expected)
    variants = {name: Runs(out, name, rounds, True) for name in ("bare", "hidden", "counted")}
    for name, runs in variants.items():
        if any(set(p) != set(walker.paths[0]) for p in runs.paths):
            print(f"MISMATCH: the walker's {name} runs flagged other files than its timed runs")
            ok = False
    profile(dict(variants, walker=walker), minimal)
    memory(out, walker, minimal)
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
