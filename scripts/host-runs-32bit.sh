#!/usr/bin/env bash
# host-runs-32bit.sh [--kernel]: exits 0 when this host runs 32-bit programs, 1 when
# not. Decided by trying, never from what is installed: many 64-bit kernels refuse
# 32-bit programs ("32-bit emulation disabled"), packages or not.
#   --kernel  whether the kernel starts a 32-bit Linux program at all (a 93-byte
#             i386 program that only exits), before anything is installed;
#   (none)    whether Wine's 32-bit loader runs, that is whether 32-bit Windows
#             programs (the 32-bit build, its tests, a 32-bit setup) can run here.
set -uo pipefail
if [ "${1:-}" = --kernel ]; then
  probe="$(mktemp "${TMPDIR:-/tmp}/zv-i386.XXXXXX")"
  trap 'rm -f "$probe"' EXIT
  # ELF header, one loadable segment at 0x08048000, then: mov eax,1; xor ebx,ebx; int 0x80.
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'\
'\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00'\
'\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00'\
'\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08'\
'\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'\
'\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null
  exit $?
fi
[ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
