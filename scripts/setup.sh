#!/usr/bin/env bash
# Installs what building and testing need on a Debian 12 machine, skipping
# whatever is already there. Safe to run again and again.
set -euo pipefail

need_pkgs=(
  cmake ninja-build make python3 g++-mingw-w64-i686 mingw-w64-i686-dev binutils-mingw-w64-i686
  g++-mingw-w64-x86-64 clang-format googletest xvfb x11-utils imagemagick fonts-wqy-zenhei
  fonts-wine locales wine64 nsis
)
# The 32-bit Wine loader only where the kernel runs 32-bit programs: elsewhere it
# cannot start, and the 32-bit build is compiled but not run.
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
if bash "$here/host-runs-32bit.sh" --kernel; then
  need_pkgs+=(wine32:i386)
fi

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

missing=()
for p in "${need_pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  if [[ " ${missing[*]} " == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
  fi
  echo "setup: installing ${missing[*]}"
  as_root apt-get update -qq
  DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
