#!/usr/bin/env bash
# smoke.sh BUILD_DIR WINE_ARCH: starts BUILD_DIR's installed program once in a fresh
# prefix of that width (win64 or win32), unattended: "Quorrel2006.exe /check /report
# FILE". It must exit 0 (a fresh prefix holds nothing to find) and write the report's
# summary line. A program that cannot load fails here in seconds, with the loader's
# own words, instead of in every suite after it.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
BUILD_DIR="$(realpath -m "${1:?usage: smoke.sh BUILD_DIR win64|win32}")"
arch="${2:?usage: smoke.sh BUILD_DIR win64|win32}"
program="$BUILD_DIR/dist/Quorrel2006.exe"
[ -f "$program" ] || { echo "smoke: $program is missing: build first" >&2; exit 2; }

out="$(mktemp -d "${TMPDIR:-/tmp}/zv-smoke.XXXXXX")"
pfx=""
cleanup() { rm -rf "$out"; [ -z "$pfx" ] || rm -rf "$pfx"; }
trap cleanup EXIT

# The loader's errors are the one trace kept: they say why a program cannot start.
rc=0
BUILD_DIR="$BUILD_DIR" WINE_ARCH="$arch" WINE_TRACE="err+module" \
  bash "$here/wine-run.sh" --keep --timeout 120 "$program" /check /report 'C:\smoke.jsonl' \
  >"$out/stdout" 2>"$out/stderr" || rc=$?
pfx="$(sed -n 's/^wine-run: kept prefix //p' "$out/stderr" | tail -n 1)"
report="${pfx:+$pfx/drive_c/smoke.jsonl}"
summary="$( [ -n "$report" ] && [ -f "$report" ] && tail -n 1 "$report" || true)"
if [ "$rc" = 0 ] && grep -q '"found":0' <<<"$summary" && grep -q '"version":' <<<"$summary"; then
  echo "smoke: $program started in a $arch prefix: $summary"
  exit 0
fi
echo "smoke: $program failed its start in a fresh $arch prefix (exit $rc)" >&2
grep -v '^wine-run: kept prefix ' "$out/stderr" | sed 's/^/  /' >&2 || true
sed 's/^/  stdout: /' "$out/stdout" >&2
[ -n "$summary" ] || echo "  no report summary was written" >&2
[ -z "$summary" ] || echo "  summary: $summary" >&2
exit 1
