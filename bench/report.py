#!/usr/bin/env python3
"""report.py --out OUT --data DATA --rounds N: the table of a bench run (bench/run.sh).

Reads OUT/NAME-R.txt (key=value) and OUT/NAME-R.paths (flagged files) of every
round, for the main tree and (names prefixed "many-") the tree with many
findings, prints the timing table and the walker's profile with the trees side
by side and the walker's memory, and checks per tree that the scanners flag the
same files. Exits 1 when they do not.
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


TREES = (("main tree", "", "tree"), ("many findings", "many-", "many"),
         ("malformed", "malformed-", "malformed"))  # label, report prefix, data name


def timing_table(trees):
    """One row per scanner, the trees side by side: best seconds, median, ratio to the minimal loop."""
    head = f"{'':<44}"
    sub = f"{'scanner':<44}"
    for label, t in trees.items():
        files = t["walker"].value("files")
        head += f" | {label + ' (' + files + ' files)':<40}"
        sub += f" | {'flagged':>7} {'best s':>7} {'median s':>8} {'files/s':>7} {'vs min':>6}"
    print(head)
    print(sub)
    for key, label in (("walker", "program's walker, page sink (Wine, 1 CPU)"),
                       ("minimal", "minimal Win32 loop (Wine, 1 CPU)"),
                       ("yara", "yara -r, every file (native)"),
                       ("yara1", "yara -r -p 1, every file (native, 1 CPU)")):
        line = f"{label:<44}"
        for t in trees.values():
            runs, minimal = t[key], t["minimal"]
            files = int(runs.value("files"))
            line += (f" | {runs.value('flagged'):>7} {runs.best:>7.3f} {statistics.median(runs.seconds):>8.3f} "
                     f"{files / runs.best:>7.0f} {runs.best / minimal.best:>5.2f}x")
        print(line)


def cold_cache(out, rounds, main_tree):
    """The main tree walked right after the page cache was dropped, beside the warm rows."""
    state = open(os.path.join(out, "cold-cache")).read().strip() if os.path.exists(os.path.join(out, "cold-cache")) else "no"
    if state != "yes":
        print("\nmain tree, cold file cache: not measured (the page cache could not be dropped here)")
        return
    walker, minimal = Runs(out, "cold-walker", rounds, True), Runs(out, "cold-minimal", rounds, True)
    print("\nmain tree, cold file cache (page cache dropped before each run) beside the warm rows, best of the rounds:")
    for label, cold, warm in (("program's walker", walker, main_tree["walker"]),
                              ("minimal Win32 loop", minimal, main_tree["minimal"])):
        print(f"  {label:<20} cold {cold.best:7.3f} s (median {statistics.median(cold.seconds):7.3f}), "
              f"warm {warm.best:7.3f} s; flagged {cold.value('flagged')}")
    print(f"  walker / minimal loop: cold {walker.best / minimal.best:.2f}x, "
          f"warm {main_tree['walker'].best / main_tree['minimal'].best:.2f}x")
    if set(walker.paths[0]) != set(main_tree["walker"].paths[0]):
        print("MISMATCH: the cold walker flagged other files than the warm one")


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


def profile(trees):
    """Where the walker's time goes, the trees side by side (best of the rounds)."""
    print("\nwhere the walker's time goes (best of the rounds):")
    print(f"  {'':<48}" + "".join(f" | {label:>26}" for label in trees))

    def row(label, cells):
        print(f"  {label:<48}" + "".join(f" | {c:>26}" for c in cells))

    ts = list(trees.values())
    row("minimal Win32 loop", [f"{t['minimal'].best:.3f} s" for t in ts])
    row("walker, empty sink (no window work at all)",
        [f"{t['bare'].best:.3f} s {t['bare'].best / t['minimal'].best:5.2f}x" for t in ts])
    row("walker, page sink, window never shown",
        [f"{t['hidden'].best:.3f} s {t['hidden'].best / t['minimal'].best:5.2f}x" for t in ts])
    row("walker, page sink, scan page shown",
        [f"{t['walker'].best:.3f} s {t['walker'].best / t['minimal'].best:5.2f}x" for t in ts])
    row("  window work (shown against empty sink)", [f"{t['walker'].best - t['bare'].best:+.3f} s" for t in ts])
    row("counted run (page sink, shown), of which:", [f"{t['counted'].best:.3f} s" for t in ts])
    for label, calls, secs in (("message-loop turns (DoEvents)", "yields", "yield_seconds"),
                               ("label repaints", "status", "status_seconds"),
                               ("result appends", "results", "result_seconds"),
                               ("version lookups (timed apart)", "lookups", "lookup_seconds")):
        cells = []
        for t in ts:
            c = t["counted"].best_keys
            n, sec = int(c.get(calls, 0)), float(c.get(secs, 0))
            cells.append(f"{n:>6} {sec:6.3f} s {sec / n * 1e6:6.0f} us" if n else f"{n:>6} {sec:6.3f} s")
        row("  " + label, cells)
    for which in ("first", "last"):
        row(f"  scan's appends with its {which} tenth of lines",
            [f"{t['counted'].value(f'append_{which}_tenth_us_per_line') or '-'} us "
             f"({t['counted'].value(f'append_{which}_tenth_lines') or '-'} lines)" for t in ts])
    probes = [t["counted"].keys[0] for t in ts]
    if all("probe_appends" in p for p in probes):
        print("  the scan's lines, dealt so that every stretch holds the same mix of lengths, appended again")
        print("  to the shown result box (tk::AppendText), per line:")
        row("  lines (characters in the box at the end)", [f"{p['probe_appends']} ({p['probe_text_chars']})" for p in probes])
        for name, label in (("single", "one at a time"), ("batched", "in batches of 100"),
                            ("noscrollbar", "one at a time, twin box without scroll bars")):
            print(f"    {label}:")
            for part, what in (("", "append"), ("_paint", "repaint after it")):
                row(f"      {what}, first tenth / last tenth",
                    [f"{p[f'probe_{name}_first_tenth{part}_us']} / {p[f'probe_{name}_last_tenth{part}_us']} us"
                     for p in probes])
        row("    one SetScrollInfo with redraw", [f"{p['probe_scrollinfo_us']} us" for p in probes])


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
    trees = {}
    for label, prefix, _ in TREES:
        trees[label] = {name: Runs(out, prefix + name, rounds, name not in ("yara", "yara1"))
                        for name in ("walker", "minimal", "yara", "yara1", "bare", "hidden", "counted")}
    loads = [open(os.path.join(out, f"load-{w}")).read().strip() for w in ("start", "end")]
    print(f"\nload average at the start {loads[0]}, at the end {loads[1]} (other work on the machine slows the rows)")
    timing_table(trees)
    cold_cache(out, rounds, trees[TREES[0][0]])
    ok = True
    for (label, _, data_name), t in zip(TREES, trees.values()):
        walker, minimal, yara = t["walker"], t["minimal"], t["yara"]
        ratio = walker.best / minimal.best
        print(f"\n{label}: walker / minimal loop: {ratio:.2f}x (target {TARGET_RATIO}x: "
              f"{'met' if ratio <= TARGET_RATIO else 'missed'}); walker / yara -r: {walker.best / yara.best:.2f}x "
              f"(target below 1: {'met' if walker.best < yara.best else 'missed'})")
        print(f"{label}: walker publisher column: {walker.value('publisher_unknown')} of {walker.value('flagged')} "
              f"lines say 未知; not examinable: {walker.value('not_examinable')}")
        with open(os.path.join(args.data, f"{data_name}.expected"), encoding="utf-8") as f:
            expected = [line.rstrip("\n") for line in f if line.strip()]
        ok = check_sets(walker, minimal, yara, expected) and ok
        for name in ("bare", "hidden", "counted"):
            if any(set(p) != set(walker.paths[0]) for p in t[name].paths):
                print(f"MISMATCH: {label}: the walker's {name} runs flagged other files than its timed runs")
                ok = False
    profile(trees)
    main_tree = trees[TREES[0][0]]
    memory(out, main_tree["walker"], main_tree["minimal"])
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
