#!/usr/bin/env bash
# run.sh BUILD_DIR: what "make run" calls. Starts Zorvane from a fresh sandbox
# prefix $BUILD_DIR/sandbox as C:\Zorvane\Quorrel2006.exe. With DISPLAY set it
# runs there until closed; without, it runs on a private Xvfb, takes a
# screenshot ($BUILD_DIR/shots/main.png) and closes the program.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
BUILD_DIR="$(realpath -m "${1:-$here/../build}")"
export BUILD_DIR
. "$here/wine-env.sh"
bash "$here/make-prefix.sh" "$BUILD_DIR" >/dev/null

sb="$BUILD_DIR/sandbox"
caption="Zorvane v3.3"
[ ! -d "$sb" ] || zv_prefix_end "$sb"   # an old sandbox may still have a wineserver
rm -rf "$sb"
cp -a "$ZV_TEMPLATE" "$sb"   # a full copy, never hard links
rm -f "$sb/.zorvane-template"
cp -a "$BUILD_DIR/dist" "$sb/drive_c/Zorvane"
export WINEPREFIX="$sb"
cd "$sb/drive_c/Zorvane"

pid=""
cleanup() {
  [ -z "$pid" ] || kill "$pid" 2>/dev/null || true
  zv_prefix_end "$sb"
  zv_xvfb_stop
}
trap cleanup EXIT
trap 'exit 130' INT; trap 'exit 143' TERM; trap 'exit 129' HUP

if [ -n "${DISPLAY:-}" ]; then
  "$ZV_WINE" 'C:\Zorvane\Quorrel2006.exe' || echo "run: Quorrel2006.exe exited with $?" >&2
  exit 0
fi

zv_xvfb_start
# Start the server first: two wine commands starting together in a new prefix
# can each make their own socket folder, and one of them then cannot connect.
"$ZV_WINESERVER" -p60 </dev/null
# The demo's tools (UI driver, stand-in process) live on C: beside the program.
cp -a "$BUILD_DIR/tools" "$sb/drive_c/tools"
mkdir -p "$BUILD_DIR/shots" "$sb/drive_c/demo"
# Without a sound card the 64-bit sound driver complains on every sound: hush that.
timeout -k 5 600 "$ZV_WINE" 'C:\Zorvane\Quorrel2006.exe' 2> >(grep -v '^ALSA lib' >&2) &
pid=$!
# The demo prints what it does; on "SHOT name" this script captures the screen.
timeout -k 5 300 "$ZV_WINE" 'C:\tools\demo.exe' | while IFS= read -r line; do
  line="${line%$'\r'}"
  case "$line" in
    "SHOT "*)
      name="${line#SHOT }"
      /usr/bin/import -window root "$BUILD_DIR/shots/$name.png"
      echo "run: screenshot $BUILD_DIR/shots/$name.png"
      touch "$sb/drive_c/demo/$name.done" ;;
    *) echo "$line" ;;
  esac
done
"$ZV_WINE" 'C:\tools\uidriver.exe' close "$caption" 10000 || true
rc=0
wait "$pid" || rc=$?
pid=""
echo "run: Quorrel2006.exe exited with $rc"

# The same machine, unattended: the check with no window, what it found as JSON Lines.
rc=0
"$ZV_WINE" 'C:\Zorvane\Quorrel2006.exe' /check /report 'C:\demo\check.jsonl' \
  >"$BUILD_DIR/shots/check-stdout.txt" 2> >(grep -v '^ALSA lib' >&2) || rc=$?
echo "run: Quorrel2006.exe /check /report C:\demo\check.jsonl exited with $rc"
echo "--- check.jsonl ---"
cat "$sb/drive_c/demo/check.jsonl" 2>/dev/null || echo "run: no report was written"
echo "-------------------"
