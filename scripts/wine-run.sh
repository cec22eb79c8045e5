#!/usr/bin/env bash
# wine-run.sh [--keep] [--timeout SECS] PROGRAM.exe [ARGS...]
# Runs one Windows program headless in a fresh copy of the template prefix, as
# C:\test\PROGRAM.exe (working folder C:\test; $BUILD_DIR/dist, if any, is C:\dist,
# and in a 64-bit prefix $BUILD_DIR/x86/dist, the 32-bit build's, is C:\dist32).
# The copy is of the 64-bit template, or with WINE_ARCH=win32 of the 32-bit one.
# Passes its stdout/stderr through and exits with its exit code (124: timeout).
# With WINE_USER=NAME (needs root) the program runs as that Linux user, who owns
# the prefix but not C:\test: a standard user's read-only Program Files. When
# WINE_FIRST_ARGS is set too, the program runs once before, as root, with those
# arguments (what an administrator did earlier on that machine).
# With WINE_TRACE=CHANNELS (e.g. "+pid,+eventlog") Wine traces those channels and the
# program's stderr goes to C:\wine-trace.txt, which it may read back while it runs
# (Wine keeps no event log but traces each event); the file is shown at the end.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
keep=0 secs=300
while [ $# -gt 0 ]; do
  case "$1" in
    --keep) keep=1; shift ;;
    --timeout) secs="$2"; shift 2 ;;
    --) shift; break ;;
    *) break ;;
  esac
done
[ $# -ge 1 ] || { echo "usage: wine-run.sh [--keep] [--timeout SECS] PROGRAM.exe [ARGS...]" >&2; exit 2; }
prog="$(realpath "$1")"; shift
[ -f "$prog" ] || { echo "wine-run: no such program: $prog" >&2; exit 2; }
BUILD_DIR="$(realpath -m "${BUILD_DIR:-$here/../build}")"
export BUILD_DIR
progdir="$(dirname "$prog")"
case "$BUILD_DIR/wine/" in "$progdir"/*)
  echo "wine-run: $progdir holds the prefixes; put the program in a folder of its own" >&2; exit 2 ;;
esac
user="${WINE_USER:-}"
if [ -n "$user" ]; then
  [ "$(id -u)" = 0 ] || { echo "wine-run: running as $user needs root" >&2; exit 2; }
  id -u "$user" >/dev/null 2>&1 ||
    useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$user" ||
    id -u "$user" >/dev/null 2>&1  # made meanwhile by a parallel run
fi
. "$here/wine-env.sh"
bash "$here/make-prefix.sh" "$BUILD_DIR" >/dev/null

pfx="$(mktemp -d "$BUILD_DIR/wine/run-XXXXXX")"
wpid=""
# The words that run a command as the prefix's owner.
as_owner=()
[ -z "$user" ] || as_owner=(setpriv --reuid="$user" --regid="$user" --clear-groups
  env HOME="$pfx/home" USER="$user" LOGNAME="$user")
cleanup() {
  [ -z "$wpid" ] || kill "$wpid" 2>/dev/null || true
  [ -z "$user" ] || WINEPREFIX="$pfx" "${as_owner[@]}" "$ZV_WINESERVER" -k 2>/dev/null || true
  zv_prefix_end "$pfx"
  zv_xvfb_stop
  rm -f "$pfx/.cpu"
  [ ! -f "$pfx/drive_c/wine-trace.txt" ] || cat "$pfx/drive_c/wine-trace.txt" >&2
  if [ "$keep" = 1 ]; then echo "wine-run: kept prefix $pfx" >&2; else rm -rf "$pfx"; fi
}
trap cleanup EXIT
trap 'exit 130' INT; trap 'exit 143' TERM; trap 'exit 129' HUP

# Full copy, never hard links: the wineserver rewrites system.reg in place.
cp -a "$ZV_TEMPLATE/." "$pfx/"
rm -f "$pfx/.zorvane-template"
[ ! -d "$BUILD_DIR/dist" ] || cp -a "$BUILD_DIR/dist" "$pfx/drive_c/dist"
# The 32-bit build beside the 64-bit one (build/x86): its image too, for the tests
# that run both programs on one 64-bit Windows.
[ "$WINEARCH" != win64 ] || [ ! -d "$BUILD_DIR/x86/dist" ] || cp -a "$BUILD_DIR/x86/dist" "$pfx/drive_c/dist32"
mkdir -p "$pfx/drive_c/test"
cp -a "$progdir/." "$pfx/drive_c/test/"

# Program and wineserver share one CPU (about 3x faster under Wine). Take the
# allowed CPU that the fewest running prefixes use, so parallel runs spread out.
# A prefix whose wine-run was killed (e.g. SIGKILL on a test timeout) is removed.
zv_xvfb_start
exec 8>"$BUILD_DIR/wine/.cpu.lock"
flock 8
live=""
for f in "$BUILD_DIR"/wine/run-*/.cpu; do
  [ -f "$f" ] || continue
  c="" p="" x=""; read -r c p x <"$f" || true
  if [ -n "$p" ] && kill -0 "$p" 2>/dev/null; then live="$live $c"; continue; fi
  d="$(dirname "$f")"; zv_prefix_end "$d"; rm -rf "$d"
  [ "$(cat "/proc/${x:-none}/comm" 2>/dev/null)" != Xvfb ] || kill "$x" || true
done
cpu="" best=""
for range in $(awk '/^Cpus_allowed_list/ {gsub(",", " ", $2); print $2}' /proc/self/status); do
  for c in $(seq "${range%-*}" "${range#*-}"); do
    used="$(printf '%s\n' $live | grep -cx "$c" || true)"
    if [ -z "$best" ] || [ "$used" -lt "$best" ]; then cpu=$c best=$used; fi
  done
done
echo "$cpu $$ $ZV_XVFB_PID" >"$pfx/.cpu"
exec 8>&-

export WINEPREFIX="$pfx"
cd "$pfx/drive_c/test"
if [ -n "$user" ]; then
  if [ -n "${WINE_FIRST_ARGS:-}" ]; then
    # Its output is shown only when it fails: the user's run alone tells the outcome.
    # shellcheck disable=SC2086 # the arguments are words
    if ! timeout -k 5 "$secs" taskset -c "$cpu" "$ZV_WINE" "C:\\test\\$(basename "$prog")" $WINE_FIRST_ARGS \
      </dev/null >"$pfx/first.out" 2>&1; then
      cat "$pfx/first.out"; echo "wine-run: the run as root before failed" >&2; exit 1
    fi
    rm -f "$pfx/first.out"
    zv_prefix_end "$pfx"  # root's server and socket folder: the user starts their own
  fi
  # Wine runs only in a prefix its user owns; C:\test stays root's, read-only.
  mkdir -p "$pfx/home"
  find "$pfx" -path "$pfx/drive_c/test" -prune -o -exec chown "$user:$user" {} +
  chmod -R go-w,a+rX "$pfx/drive_c/test"
fi
# "-p60", not "-p 60": with a space the number is dropped and the server stays forever.
"${as_owner[@]}" taskset -c "$cpu" "$ZV_WINESERVER" -p60 </dev/null
# In the background so that a signal to this script is handled at once.
# exec: the background job is timeout itself, which the cleanup can end.
run() { exec timeout -k 5 "$secs" "${as_owner[@]}" taskset -c "$cpu" "$ZV_WINE" "C:\\test\\$(basename "$prog")" "$@"; }
if [ -n "${WINE_TRACE:-}" ]; then run "$@" 2>"$pfx/drive_c/wine-trace.txt" & else run "$@" & fi
wpid=$!
rc=0
wait "$wpid" || rc=$?
wpid=""
[ "$rc" != 124 ] || echo "wine-run: $(basename "$prog") timed out after $secs s" >&2
exit "$rc"
