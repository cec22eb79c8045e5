#!/usr/bin/env bash
# make-prefix.sh BUILD_DIR: builds the template Wine prefix $BUILD_DIR/wine/template64
# (with WINE_ARCH=win32: the 32-bit $BUILD_DIR/wine/template) once (again only
# when the Wine version changes, or whether this host runs 32-bit programs). Test
# and sandbox prefixes are copies of it. It is built aside and renamed into place,
# so a half-made template is never used.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
BUILD_DIR="$(realpath -m "${1:-$here/../build}")"
export BUILD_DIR
. "$here/wine-env.sh"

tpl="$ZV_TEMPLATE"
marker="$tpl/.zorvane-template"
# Where this host runs 32-bit programs the 64-bit template is a WoW64 prefix, as every
# 64-bit Windows is: SysWOW64 filled and the x86 side-by-side assemblies present.
shape="$WINEARCH"
if [ "$WINEARCH" = win64 ] && bash "$here/host-runs-32bit.sh"; then shape="win64+wow64"; fi
# Bump the recipe number when the template's settings change, so old templates are remade.
version="$("$ZV_WINE" --version) $shape recipe 4"
mkdir -p "$BUILD_DIR/wine"

# Parallel callers wait here for the one that builds.
exec 9>"$BUILD_DIR/wine/.$(basename "$tpl").lock"
flock 9
if [ -f "$marker" ] && [ "$(cat "$marker")" = "$version" ]; then
  echo "make-prefix: template up to date ($version): $tpl"
  exit 0
fi

start=$SECONDS
work="$(mktemp -d "$BUILD_DIR/wine/.template-new.XXXXXX")"
cleanup() {
  zv_prefix_end "$work"
  zv_xvfb_stop
  rm -rf "$work"
}
trap cleanup EXIT

build() {
  zv_xvfb_start              # every Wine call of this prefix sees this DISPLAY
  export WINEPREFIX="$work"
  zv_wineboot >/dev/null 2>&1

  # REGEDIT4 files are read in the ANSI code page (936): write them in GBK.
  # The menu font is Tahoma 9 pt (Chinese through font linking): Wine's default
  # menu font clips the last character of Chinese menu captions.
  printf '%s\r\n' 'REGEDIT4' '' \
    '[HKEY_CURRENT_USER\Software\Wine\Explorer]' '"Desktop"="Default"' '' \
    '[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]' '"Default"="1024x768"' '' \
    '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' \
    '"宋体"="WenQuanYi Zen Hei Sharp"' '"SimSun"="WenQuanYi Zen Hei Sharp"' '' \
    '[HKEY_CURRENT_USER\Control Panel\Desktop\WindowMetrics]' \
    '"MenuFont"=hex:f4,ff,ff,ff,00,00,00,00,00,00,00,00,00,00,00,00,90,01,00,00,00,00,00,86,00,00,00,00,54,00,61,00,68,00,6f,00,6d,00,61,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00' '' |
    iconv -f UTF-8 -t GBK >"$work/drive_c/windows/temp/zorvane.reg"
  "$ZV_WINE" regedit /S 'C:\windows\temp\zorvane.reg'
  rm -f "$work/drive_c/windows/temp/zorvane.reg"

  # Without these, caption buttons draw as "0 1 r".
  cp /usr/share/wine/fonts/{marlett,tahoma,tahomabd}.ttf "$work/drive_c/windows/Fonts/"

  if [ "$shape" = win64+wow64 ]; then
    local wow=0 sxs=0
    wow="$(find "$work/drive_c/windows/syswow64" -maxdepth 1 -type f | wc -l)"
    sxs="$(find "$work/drive_c/windows/winsxs" -maxdepth 1 -name 'x86_*' | wc -l)"
    if [ "$wow" -lt 100 ] || [ "$sxs" = 0 ]; then
      echo "make-prefix: the 64-bit prefix lacks Windows' 32-bit half ($wow files in SysWOW64, $sxs x86 assemblies)" >&2
      return 1
    fi
  fi

  # Let the wineserver exit on its own: that is when it writes the registry files.
  timeout 120 "$ZV_WINESERVER" -w || { echo "make-prefix: wineserver did not exit, killing it" >&2; "$ZV_WINESERVER" -k || true; sleep 2; }
  zv_xvfb_stop
  rm -f "$work/dosdevices/z:"   # Z: is the Linux root: a drive scan would walk it all
  # The user's Desktop, Documents, ... are links to the Linux home: make them plain folders.
  find "$work/drive_c/users" -type l -print0 | while IFS= read -r -d '' l; do rm "$l"; mkdir "$l"; done
  zv_prefix_end "$work"         # also drops Debian's socket-folder note: each copy makes its own
  echo "$version" >"$work/.zorvane-template"
}
build 9>&-   # the lock descriptor must not leak into Xvfb or the wineserver

old=""
if [ -e "$tpl" ]; then old="$(mktemp -d "$BUILD_DIR/wine/.template-old.XXXXXX")"; mv "$tpl" "$old/"; fi
mv -T "$work" "$tpl"
trap - EXIT
[ -z "$old" ] || rm -rf "$old"
echo "make-prefix: built $tpl ($version, $((SECONDS - start)) s, $(du -sh "$tpl" | cut -f1))"
