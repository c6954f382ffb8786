#!/bin/sh
# Runs a command with 32-bit x86 programs handed to qemu-user-static, for a kernel built without
# 32-bit support, where the shipped 32-bit morvane.exe cannot run under Wine otherwise. Debian
# registers no binfmt_misc handler for them on a 64-bit x86 host, where they normally run natively.
#
#   sh emulate-i386.sh COMMAND [ARGUMENT...]
#
# The handler lives in a user and mount namespace of the command's own, in the binfmt_misc that
# such a namespace has of its own since Linux 6.7: only the command and its children see it, so
# that whatever else runs meanwhile (the 64-bit suite booting its prefixes, whose 32-bit half
# would crawl under qemu) goes on as before, and nothing is left behind. On an older kernel the
# handler is registered for the whole machine instead (as root, or through sudo without a
# password) for the time of the command, and removed however it ends.
#
# It exits with the command's status, or with 77 and a "wine-run: SKIPPED" line naming the
# reason when 32-bit programs cannot be run even so.
set -u
qemu=/usr/bin/qemu-i386-static
binfmt=/proc/sys/fs/binfmt_misc
# 32-bit little-endian x86 ELF executables and shared objects (the C library's loader is one).
# The F flag makes the kernel open qemu once, at registration.
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
rule=":morvane-i386:M::$magic:$mask:$qemu:F"

skip() {
  echo "wine-run: SKIPPED: this machine's kernel cannot run 32-bit programs, nor emulate them" \
       "here ($1)" >&2
  exit 77
}
runs_32bit() { /lib/ld-linux.so.2 --version >/dev/null 2>&1; }

# Inside the namespace: its own binfmt_misc, the handler, then the command.
if [ "${1:-}" = --in-namespace ]; then
  shift
  mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null &&
    printf '%s' "$rule" >"$binfmt/register" 2>/dev/null && runs_32bit || exit 1
  [ "${1:-}" = --probe ] && exit 0
  exec "$@"
fi

[ -x "$qemu" ] || skip "$qemu is missing"
if unshare --user --map-root-user --mount sh "$0" --in-namespace --probe 2>/dev/null; then
  exec unshare --user --map-root-user --mount sh "$0" --in-namespace "$@"
fi

# An older kernel: the machine's own binfmt_misc.
as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo -n "$@"; fi
}
[ "$(id -u)" -eq 0 ] || sudo -n true 2>/dev/null || skip "registering a binfmt_misc handler needs root"
mounted=
if [ ! -e "$binfmt/register" ]; then
  as_root mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null || skip "this kernel offers no binfmt_misc"
  mounted=1
fi
off() {
  [ -e "$binfmt/morvane-i386" ] && as_root sh -c "echo -1 >$binfmt/morvane-i386"
  [ -n "$mounted" ] && as_root umount "$binfmt"
  mounted=
}
trap off EXIT
trap 'exit 130' INT
trap 'exit 143' HUP TERM
if [ ! -e "$binfmt/morvane-i386" ] &&
   ! as_root sh -c "printf '%s' '$rule' >$binfmt/register" 2>/dev/null; then
  skip "the kernel refused the binfmt_misc handler"
fi
runs_32bit || skip "32-bit programs do not run even under $qemu"
"$@"
status=$?
off
exit $status
