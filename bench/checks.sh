#!/usr/bin/env bash
# checks.sh BUILD_DIR: the system check over about 2,000 seeded autostart entries
# (bench/CheckBench.cpp), in a throw-away prefix of its own: the eight original
# checks alone against every check, best of three rounds each. "make bench" runs
# it after the scan benchmark; it only reports.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(cd "$here/.." && pwd)"
BUILD_DIR="$(realpath -m "${1:-$repo/build}")"
export BUILD_DIR
. "$repo/scripts/wine-env.sh"
bash "$repo/scripts/make-prefix.sh" "$BUILD_DIR" >/dev/null

pfx="$BUILD_DIR/bench/check-prefix"
out="$BUILD_DIR/bench/out"
[ ! -d "$pfx" ] || zv_prefix_end "$pfx"
rm -rf "$pfx"
mkdir -p "$out"
cp -a "$ZV_TEMPLATE/." "$pfx/"
rm -f "$pfx/.zorvane-template"
mkdir -p "$pfx/drive_c/bench"
cp -a "$BUILD_DIR/dist/." "$pfx/drive_c/bench/"
cp "$BUILD_DIR/bench/bin/CheckBench.exe" "$pfx/drive_c/bench/"
cleanup() {
  zv_prefix_end "$pfx"
  zv_xvfb_stop
  rm -rf "$pfx"
}
trap cleanup EXIT
trap 'exit 130' INT; trap 'exit 143' TERM; trap 'exit 129' HUP

# Pinned to one CPU with its wineserver, as the scan benchmark and the tests run.
cpu="${BENCH_CPU:-$(awk '/^Cpus_allowed_list/ {split($2, a, "[-,]"); print a[1]}' /proc/self/status)}"
zv_xvfb_start
export WINEPREFIX="$pfx"
cd "$pfx/drive_c/bench"
taskset -c "$cpu" "$ZV_WINESERVER" -p60 </dev/null
timeout -k 5 900 taskset -c "$cpu" "$ZV_WINE" 'C:\bench\CheckBench.exe' ${BENCH_PROBE:+--probe} >"$out/checks.txt" 2>"$out/checks.err" </dev/null ||
  { echo "bench: CheckBench failed, see $out/checks.err" >&2; exit 1; }
tr -d '\r' <"$out/checks.txt" >"$out/checks.tmp" && mv "$out/checks.tmp" "$out/checks.txt"
value() { grep -m1 "^$1=" "$out/checks.txt" | cut -d= -f2; }
echo "system check over $(value entries) seeded autostart entries ($(value checks) checks; best of 3 rounds):"
printf '  the eight original checks  %8s s, %s findings a round\n' "$(value eight_seconds)" "$(value eight_findings)"
printf '  every check                %8s s, %s findings a round\n' "$(value all_seconds)" "$(value all_findings)"
printf '  the further places add     %8s s (target: under 1 s)\n' "$(value further_seconds)"
grep '^probe_' "$out/checks.txt" || true
echo "  each check, in the best round of every check (s):"
sed -n 's/^check_\(.*\)=\(.*\)/    \1 \2/p' "$out/checks.txt" | column -c 100
