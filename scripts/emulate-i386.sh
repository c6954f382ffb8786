# Sourced by test.sh. A kernel built without 32-bit support cannot run the shipped 32-bit
# morvane.exe under Wine; Debian's qemu-user-static can, once a binfmt_misc handler for 32-bit x86
# programs sends them to it (Debian registers none on a 64-bit x86 host, where they normally run
# natively). The handler has a name of its own, lives only between emulation_on and emulation_off,
# and takes the F flag so that the kernel opens qemu once, at registration.
#
#   emulation_on    registers it, mounting binfmt_misc first if need be; 0 when 32-bit programs
#                   then run, else 1 with the reason in emulation_failure and nothing left behind
#   emulation_off   removes the handler, and unmounts binfmt_misc if emulation_on mounted it;
#                   harmless when there is nothing to remove

emulation_binfmt=/proc/sys/fs/binfmt_misc
emulation_handler=$emulation_binfmt/morvane-i386
emulation_qemu=/usr/bin/qemu-i386-static
emulation_mounted=
emulation_failure=

# As root, or through sudo where it asks for no password: nobody is there to type one.
emulation_as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  else
    sudo -n "$@"
  fi
}

emulation_on() {
  if [ "$(id -u)" -ne 0 ] && ! sudo -n true 2>/dev/null; then
    emulation_failure="registering a binfmt_misc handler needs root"
    return 1
  fi
  if [ ! -x "$emulation_qemu" ]; then
    emulation_failure="$emulation_qemu is missing"
    return 1
  fi
  if [ ! -e "$emulation_binfmt/register" ]; then
    if ! emulation_as_root mount -t binfmt_misc binfmt_misc "$emulation_binfmt" 2>/dev/null; then
      emulation_failure="this kernel offers no binfmt_misc"
      return 1
    fi
    emulation_mounted=1
  fi
  # 32-bit little-endian x86 ELF executables and shared objects (the C library's loader is one).
  magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  if [ ! -e "$emulation_handler" ] &&
     ! emulation_as_root sh -c "printf '%s' ':morvane-i386:M::$magic:$mask:$emulation_qemu:F' \
                                 >$emulation_binfmt/register" 2>/dev/null; then
    emulation_failure="the kernel refused the binfmt_misc handler"
    emulation_off
    return 1
  fi
  if ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    emulation_failure="32-bit programs do not run even under $emulation_qemu"
    emulation_off
    return 1
  fi
}

emulation_off() {
  if [ -e "$emulation_handler" ]; then
    emulation_as_root sh -c "echo -1 >$emulation_handler"
  fi
  if [ -n "$emulation_mounted" ]; then
    emulation_as_root umount "$emulation_binfmt"
    emulation_mounted=
  fi
  return 0
}
