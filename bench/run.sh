#!/usr/bin/env bash
# run.sh BUILD_DIR: what "make bench" calls. Times three scans of each of three
# generated trees (the main one, one with many findings where a cost that
# grows with the result lines shows, and one whose listed files are malformed
# executables) in the same run and prints a table with the trees side by side
# (bench/report.py):
#   the scan page's walker under Wine (ScanBench.exe, the page's own sink),
#   a minimal Win32 loop under Wine (MinimalWalk.exe),
#   yara -r natively over every file, with the match bounded to the first 32000 bytes.
# Both Wine programs and their wineserver share one CPU, as the tests do. A first
# round warms the caches and is not counted; each row is the best of the rounds.
# Within each round the walker is also profiled; its memory is measured last.
# The main tree is also walked by both Wine programs with a cold file cache: the
# page cache is dropped before each of those runs (as root; where that cannot be
# done the report says so).
# Exits non-zero when the scanners disagree on the flagged files. Only reports:
# nothing here is a test, and other work on the machine shows in the figures.
#
# BENCH_ROUNDS (default 3): timed rounds. BENCH_CPU: the CPU for the Wine runs
# (default: the first one this process may use).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(cd "$here/.." && pwd)"
BUILD_DIR="$(realpath -m "${1:-$repo/build}")"
export BUILD_DIR
rounds="${BENCH_ROUNDS:-3}"
. "$repo/scripts/wine-env.sh"
bash "$repo/scripts/make-prefix.sh" "$BUILD_DIR" >/dev/null

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }
if ! command -v yara >/dev/null; then
  echo "bench: installing yara"
  as_root apt-get update -qq
  DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq --no-install-recommends yara >/dev/null
fi

bench="$BUILD_DIR/bench"
data="$bench/data"
out="$bench/out"
pfx="$bench/prefix"
python3 "$here/make-tree.py" --dlls "$ZV_TEMPLATE/drive_c/windows/system32" \
  --fixtures "$BUILD_DIR/tests/bin/unit/fixtures" --out "$data"

[ ! -d "$pfx" ] || zv_prefix_end "$pfx"   # a bench run that was cut short
rm -rf "$pfx" "$out"
mkdir -p "$out"
# Full copy, never hard links: the wineserver rewrites system.reg in place.
cp -a "$ZV_TEMPLATE/." "$pfx/"
rm -f "$pfx/.zorvane-template"
# The drives must exist before this prefix's wineserver first starts.
ln -s "$data/tree" "$pfx/dosdevices/d:"
ln -s "$data/mem-wide" "$pfx/dosdevices/e:"
ln -s "$data/mem-chains" "$pfx/dosdevices/f:"
ln -s "$data/mem-few" "$pfx/dosdevices/g:"
ln -s "$data/mem-flat" "$pfx/dosdevices/h:"
ln -s "$data/many" "$pfx/dosdevices/i:"
ln -s "$data/malformed" "$pfx/dosdevices/j:"
# The bench program beside the install image, as the program itself runs (skin, sounds).
mkdir -p "$pfx/drive_c/bench/out"
cp -a "$BUILD_DIR/dist/." "$pfx/drive_c/bench/"
cp "$BUILD_DIR/bench/bin/ScanBench.exe" "$BUILD_DIR/bench/bin/MinimalWalk.exe" "$pfx/drive_c/bench/"

cpu="${BENCH_CPU:-$(awk '/^Cpus_allowed_list/ {split($2, a, "[-,]"); print a[1]}' /proc/self/status)}"
cleanup() {
  zv_prefix_end "$pfx"
  zv_xvfb_stop
  rm -rf "$pfx"   # the tree and the reports stay; the prefix is 600 MB
}
trap cleanup EXIT
trap 'exit 130' INT; trap 'exit 143' TERM; trap 'exit 129' HUP

zv_xvfb_start
export WINEPREFIX="$pfx"
cd "$pfx/drive_c/bench"
# "-p60", not "-p 60": with a space the number is dropped and the server stays forever.
taskset -c "$cpu" "$ZV_WINESERVER" -p60 </dev/null

rule="$bench/hook.yar"
cat >"$rule" <<'EOF'
// The walker's test: the whole text inside the first 32000 bytes.
rule HookSignature {
  strings:
    $s = "SetWindowsHook"
  condition:
    $s in (0..31986)
}
EOF

# wine_to NAME PROGRAM ROOT [OPTIONS...]: one Wine run on the bench CPU; its
# report lands in $out/NAME.txt and the flagged paths in $out/NAME.paths.
wine_to() {
  local name="$1" prog="$2" root="$3"; shift 3
  timeout -k 5 900 taskset -c "$cpu" "$ZV_WINE" "C:\\bench\\$prog" "$root" "C:\\bench\\out\\$name.paths" "$@" \
    >"$out/$name.txt" 2>"$out/$name.err" </dev/null || { echo "bench: $prog failed, see $out/$name.err" >&2; exit 1; }
  tr -d '\r' <"$out/$name.txt" >"$out/$name.tmp" && mv "$out/$name.tmp" "$out/$name.txt"
  mv "$pfx/drive_c/bench/out/$name.paths" "$out/$name.paths"
}
# The trees: their folder under $data, the drive the Wine runs see them on, and
# the prefix of their report names ("" for the main tree, "many-").
drive_of() { case "$1" in tree) echo 'D:\' ;; many) echo 'I:\' ;; malformed) echo 'J:\' ;; esac; }
prefix_of() { [ "$1" = tree ] && echo "" || echo "$1-"; }
minimal() { wine_to "$(prefix_of "$1")$2" MinimalWalk.exe "$(drive_of "$1")"; }
walker() { local tree="$1" name="$2"; shift 2; wine_to "$(prefix_of "$tree")$name" ScanBench.exe "$(drive_of "$tree")" "$@"; }
# yara_to TREE NAME COMMAND...: yara over every file of the tree, timed from outside.
yara_to() {
  local tree="$1" name="$(prefix_of "$1")$2"; shift 2
  local t0 t1 rc=0
  t0="$(date +%s.%N)"
  "$@" -r "$rule" "$data/$tree" >"$out/$name.raw" 2>"$out/$name.err" || rc=$?
  t1="$(date +%s.%N)"
  [ "$rc" = 0 ] || { echo "bench: yara failed ($rc), see $out/$name.err" >&2; exit 1; }
  sed -n "s|^HookSignature $data/$tree/||p" "$out/$name.raw" >"$out/$name.paths"
  printf 'files=%s\nflagged=%s\nseconds=%s\n' "$(grep -m1 '^files=' "$data/$tree.info" | cut -d= -f2)" \
    "$(wc -l <"$out/$name.paths")" "$(awk "BEGIN { printf \"%.4f\", $t1 - $t0 }")" >"$out/$name.txt"
}

count_of() { grep -m1 "^$2=" "$data/$1.info" | cut -d= -f2; }
echo "bench: trees $data/tree ($(count_of tree files) files, $(count_of tree expected) to list) and" \
  "$data/many ($(count_of many files) files, $(count_of many expected) to list)," \
  "$data/malformed ($(count_of malformed files) files, $(count_of malformed expected) to list), Wine runs on CPU $cpu," \
  "$rounds rounds after a warm-up; load average $(cut -d' ' -f1-3 /proc/loadavg)"
cut -d' ' -f1-3 /proc/loadavg >"$out/load-start"
# drop_caches: empties the page cache, so the next run reads every file from the disk.
drop_caches() { sync && echo 3 >/proc/sys/vm/drop_caches; } 2>/dev/null
if drop_caches; then echo yes >"$out/cold-cache"; else echo no >"$out/cold-cache"; fi
for r in $(seq 0 "$rounds"); do
  for tree in tree many malformed; do
    minimal "$tree" "minimal-$r"
    walker "$tree" "walker-$r"
    yara_to "$tree" "yara-$r" yara
    yara_to "$tree" "yara1-$r" taskset -c "$cpu" yara -p 1
    [ "$r" != 0 ] || continue
    # Where the walker's time goes: without the window's work, with the window
    # never shown, and with each call of the page's sink counted and timed.
    walker "$tree" "bare-$r" --sink none
    walker "$tree" "hidden-$r" --hidden
    walker "$tree" "counted-$r" --sink counted $([ "$r" != 1 ] || echo --probe-appends)
  done
  echo "bench: round $r of $rounds done"
done
# The cold runs come after the warm rounds: a dropped cache would make the next
# tree's first warm run read from the disk too.
if [ "$(cat "$out/cold-cache")" = yes ]; then
  for r in $(seq 1 "$rounds"); do
    drop_caches && minimal tree "cold-minimal-$r"
    drop_caches && walker tree "cold-walker-$r"
  done
  echo "bench: cold runs done"
fi
# Memory: trees of 20,000 files that queue at most about 1, 20, 2,000 and 20,000
# folders at a time, then the main tree; the minimal loop shows what Wine itself takes.
for m in flat:H few:G chains:F wide:E main:D; do
  wine_to "mem-${m%:*}" ScanBench.exe "${m#*:}:\\" --queue
  wine_to "mem-${m%:*}-minimal" MinimalWalk.exe "${m#*:}:\\"
done
wine_to mem-main-bare ScanBench.exe 'D:\' --queue --sink none
cut -d' ' -f1-3 /proc/loadavg >"$out/load-end"

python3 "$here/report.py" --out "$out" --data "$data" --rounds "$rounds"

# The system check over many seeded autostart entries, in a prefix of its own.
bash "$here/checks.sh" "$BUILD_DIR"
