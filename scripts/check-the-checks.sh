#!/usr/bin/env bash
# Proves that the quick checks can fail: each runs once in a throw-away copy of the
# sources with one fault planted, and must fail there naming the file it planted in.
# Exits 1, naming the check, when one of them passes over its fault.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
work="$(mktemp -d "${TMPDIR:-/tmp}/zv-checks.XXXXXX")"
trap 'rm -rf "$work"' EXIT

# copy: a fresh copy of the tracked and new sources in $work/src, as its own git
# repository, since the checks list their files with git.
copy() {
  rm -rf "$work/src"
  mkdir -p "$work/src"
  git -C "$root" ls-files -z --cached --others --exclude-standard |
    (cd "$root" && xargs -0 -r cp --parents -t "$work/src" 2>/dev/null || true)
  git -C "$work/src" init -q
  git -C "$work/src" add -A
}

failed=0
# planted NAME SCRIPT FILE LINE WORDS: plants LINE at the end of FILE in a fresh copy;
# the check SCRIPT must exit 1 and say WORDS and FILE.
planted() {
  local name="$1" script="$2" file="$3" line="$4" words="$5" out rc=0
  copy
  printf '%s\n' "$line" >>"$work/src/$file"
  git -C "$work/src" add -A
  out="$(bash "$work/src/$script" 2>&1)" || rc=$?
  if [ "$rc" = 1 ] && grep -qF "$file" <<<"$out" && grep -qF "$words" <<<"$out"; then
    echo "check-the-checks: $name fails as it should on $file"
  else
    failed=1
    echo "check-the-checks: $name passed over a planted fault in $file (exit $rc):" >&2
    printf '%s\n' "$out" | sed 's/^/  /' >&2
  fi
}

planted "the layer check (an upward include)" scripts/check-layers.sh platform/Console.cpp \
  '#include "frame/FormAbout.h"' 'an include runs upward'
planted "the layer check (<windows.h> outside platform/)" scripts/check-layers.sh common/Skin.cpp \
  '#include <windows.h>' 'may include <windows.h>'
planted "the layer check (the main window outside frame/)" scripts/check-layers.sh report/FormReport.cpp \
  '#include "frame/FormMain.h"' 'may include frame/FormMain.h'
planted "the format check (a misformatted line)" scripts/check-format.sh platform/Text.cpp \
  'static  int   zvPlanted ( ) {return 0 ;}' 'differ from the house formatting'

[ "$failed" = 0 ] || exit 1
