#!/usr/bin/env bash
# Fails when a source breaks the layer rules, naming file, line and rule:
#  - only platform/ talks to Windows directly: nothing else includes <windows.h>
#    (tests and benchmarks may: they set up and measure the system themselves);
#  - the main window is wired up in frame/: nothing else includes frame/FormMain.h
#    (tests and the scan benchmark may: they drive the whole program);
#  - every include runs downward through the layers, top to bottom:
#      frame/ -> syscheck/ filescan/ monitor/ report/ -> common/ -> platform/
#    a folder includes its own layer and the layers below it, never one above.
# A shell script, not C: keep C and C++ formatters away from it.
set -euo pipefail
cd "$(dirname "$0")/.."

sources() { git ls-files --cached --others --exclude-standard -- '*.c' '*.cc' '*.cpp' '*.h' '*.hpp' '*.rc'; }

# A check that finds no source would pass whatever the includes say.
count="$(sources | grep -cE '^(platform|common|frame)/' || true)"
[ "$count" -gt 0 ] || { echo "check-layers: no sources found under platform/, common/ or frame/" >&2; exit 2; }

# offenders RULE_TEXT INCLUDE_REGEX ALLOWED_FOLDERS_REGEX
failed=0
offenders() {
  local rule="$1" include="$2" allowed="$3" hits
  hits="$(sources | grep -Ev "^($allowed)/" | tr '\n' '\0' |
    xargs -0 -r grep -HniE "^[[:space:]]*#[[:space:]]*include[[:space:]]*[<\"]$include[>\"]" || true)"
  [ -n "$hits" ] || return 0
  failed=1
  echo "check-layers: $rule" >&2
  printf '%s\n' "$hits" | sed 's/^/  /' >&2
}

offenders "only platform/ (and tests/, bench/) may include <windows.h>:" \
  'windows\.h' 'platform|tests|bench'
offenders "only frame/ (and tests/, bench/) may include frame/FormMain.h:" \
  '([^">]*/)?FormMain\.h' 'frame|tests|bench'

# The layer of a folder: its place in the order, 0 at the bottom.
layer() {
  case "$1" in
    platform) echo 0 ;;
    common) echo 1 ;;
    syscheck | filescan | monitor | report) echo 2 ;;
    frame) echo 3 ;;
    *) echo "" ;;
  esac
}
upward=""
while IFS= read -r file; do
  from="$(layer "${file%%/*}")"
  [ -n "$from" ] || continue
  while IFS=: read -r line target; do
    to="$(layer "${target%%/*}")"
    [ -n "$to" ] && [ "$to" -gt "$from" ] && upward="$upward  $file:$line: $target"$'\n'
  done < <(grep -noE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]+"' "$file" | sed -E 's/^([0-9]+):.*"([^"]+)"$/\1:\2/')
done < <(sources)
if [ -n "$upward" ]; then
  failed=1
  echo "check-layers: an include runs upward (frame/ -> syscheck/ filescan/ monitor/ report/ -> common/ -> platform/):" >&2
  printf '%s' "$upward" >&2
fi

[ "$failed" = 0 ] || exit 1
echo "check-layers: layer rules hold in $(sources | wc -l) sources"
