# Sourced by wine-run.sh and wine-prefix.sh. Sets WINE_LOADER to the Wine loader for
# Windows programs of MORVANE_WINE_BITS bits (32 or 64), or returns 77 with a notice when
# this machine cannot run them.
#
# Debian's `wine` starts its 32-bit loader whenever wine32 is installed, even for a 64-bit
# program, so 64-bit programs go straight to the 64-bit loader: that way they run on a
# machine whose kernel cannot start 32-bit Linux programs at all.
#
# Where the kernel cannot, the smoke of the shipped program has qemu run them for its driver
# (scripts/emulate-i386.sh). At about a minute a program start, only the smoke fits: it sets
# MORVANE_WINE_EMULATION=allow, and every other 32-bit program that sees the handler is skipped.
wine_loader() {
  if [ "$MORVANE_WINE_BITS" = 64 ]; then
    for WINE_LOADER in /usr/lib/wine/wine64 /usr/lib64/wine/wine64 "$(command -v wine64)" wine; do
      [ "$WINE_LOADER" = wine ] || [ -x "$WINE_LOADER" ] && break
    done
    return 0
  fi
  WINE_LOADER=wine
  if [ -e /proc/sys/fs/binfmt_misc/morvane-i386 ]; then
    [ "$MORVANE_WINE_EMULATION" = allow ] && return 0
    echo "wine-run: SKIPPED: this machine runs 32-bit programs only under emulation, at about" \
         "a minute a start, which only the smoke of the shipped program is given" >&2
    return 77
  fi
  # A kernel built without 32-bit support refuses every 32-bit program, Wine's loader
  # included ("Exec format error"); the 32-bit C library's loader tells without Wine.
  # MORVANE_EMULATE_32BIT plays such a kernel (scripts/test.sh).
  if [ -n "$MORVANE_EMULATE_32BIT" ] ||
     { [ -e /lib/ld-linux.so.2 ] && ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; }; then
    echo "wine-run: SKIPPED: this machine's kernel cannot run 32-bit programs, so Wine cannot" \
         "run the 32-bit build here" >&2
    return 77
  fi
}
