#!/usr/bin/env bash
# Source this (". scripts/wine-env.sh") with BUILD_DIR set to the absolute build
# folder (default: the repo's build/). It sets up the environment every Wine
# call needs. Callers choose their own WINEPREFIX; this never touches ~/.wine.
# WINE_ARCH picks the prefix: win64 (the default) is the 64-bit template that the
# 64-bit build runs in; win32 the 32-bit one of the 32-bit build's suites, which
# needs a host that runs 32-bit programs (scripts/host-runs-32bit.sh tells).
# Wine is always called by its loader's path, "$ZV_WINE": Debian's /usr/bin/wine
# picks the 32-bit loader whenever its file exists, even where it cannot run.
# No "set -euo pipefail" here: a sourced file would change the caller's shell.

BUILD_DIR="${BUILD_DIR:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build}"

# Without the glibc locale Wine garbles GBK file names and arguments even though
# GetACP() says 936. Build it privately (no system change), atomically so that
# parallel callers never see a half-written locale.
if [ ! -f "$BUILD_DIR/locale/zh_CN.UTF-8/LC_CTYPE" ]; then
  mkdir -p "$BUILD_DIR/locale"
  _zv_tmp="$(mktemp -d "$BUILD_DIR/locale/.tmp.XXXXXX")"
  localedef -i zh_CN -f UTF-8 "$_zv_tmp/zh_CN.UTF-8" &&
    { mv -T "$_zv_tmp/zh_CN.UTF-8" "$BUILD_DIR/locale/zh_CN.UTF-8" 2>/dev/null || true; }
  rm -rf "$_zv_tmp"; unset _zv_tmp
fi

export LOCPATH="$BUILD_DIR/locale"
# bash itself cannot load the private locale (it ignores LOCPATH) and warns; the
# variables are for the Wine processes, so hush that warning.
{ export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8; } 2>/dev/null
# WINE_TRACE adds debug channels (e.g. "+pid,+eventlog"): see wine-run.sh.
export WINEDEBUG="-all${WINE_TRACE:+,$WINE_TRACE}" WINEDLLOVERRIDES="mscoree,mshtml="
case "${WINE_ARCH:-win64}" in
  win32) export WINEARCH=win32 ZV_WINE=/usr/lib/wine/wine; ZV_TEMPLATE="$BUILD_DIR/wine/template" ;;
  win64) export WINEARCH=win64 ZV_WINE=/usr/lib/wine/wine64; ZV_TEMPLATE="$BUILD_DIR/wine/template64" ;;
  *) echo "WINE_ARCH must be win32 or win64" >&2; return 2 ;;
esac
# The loader Wine starts further programs with (64-bit Wine finds the 32-bit one
# beside it for a 32-bit program); Debian's wrapper starts the 64-bit server.
export WINELOADER="$ZV_WINE" ZV_WINESERVER=/usr/lib/wine/wineserver
unset WINEPREFIX

# zv_wineboot: makes the prefix with the loader of its width.
zv_wineboot() { "$ZV_WINE" wineboot -i; }

# zv_xvfb_start: starts a private Xvfb on a free display (Xvfb picks it and
# writes the number to a pipe) and exports DISPLAY; its pid lands in ZV_XVFB_PID.
zv_xvfb_start() {
  local fifo num=""
  fifo="$(mktemp -u "${TMPDIR:-/tmp}/zv-xvfb.XXXXXX")"
  mkfifo "$fifo"
  Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$fifo" >/dev/null 2>&1 &
  ZV_XVFB_PID=$!
  read -r -t 30 num <"$fifo" || true
  rm -f "$fifo"
  if [ -z "$num" ]; then echo "Xvfb did not start" >&2; zv_xvfb_stop; return 1; fi
  export DISPLAY=":$num"
}

# zv_xvfb_stop: ends the Xvfb started by zv_xvfb_start (and only that one).
zv_xvfb_stop() {
  if [ -n "${ZV_XVFB_PID:-}" ]; then
    kill "$ZV_XVFB_PID" 2>/dev/null || true
    wait "$ZV_XVFB_PID" 2>/dev/null || true
    ZV_XVFB_PID=""
  fi
}

# zv_prefix_end PREFIX: ends that prefix's wineserver (only that one) and removes
# the socket folder Debian's Wine made for it under $TMPDIR (named in PREFIX/wineserver).
zv_prefix_end() {
  local sd
  WINEPREFIX="$1" "$ZV_WINESERVER" -k 2>/dev/null || true
  sd="$(cat "$1/wineserver" 2>/dev/null || true)"
  case "$sd" in
    wine-?*/*|*..*) ;;                          # not a plain folder name: leave it
    wine-?*) rm -rf "${TMPDIR:-/tmp}/$sd" ;;
  esac
  rm -f "$1/wineserver"
}
