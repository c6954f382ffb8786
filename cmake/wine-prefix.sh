#!/bin/sh
# ctest fixture: "up" makes a fresh prefix and keeps its wineserver alive for the whole run,
# so that each test program starts in milliseconds; "down" stops that server only.
# BITS (32 or 64) is the build's: its programs' loader boots the prefix. SETTING, if given, is
# the Windows version the prefix reports (winecfg's names: win7, win10, ...) or the resolution of
# its display (144dpi is 150 %), else Wine's default.
set -e
action=$1
export WINEPREFIX=$2
export MORVANE_WINE_BITS=${3:-${MORVANE_WINE_BITS:-32}}
setting=$4
export WINEDEBUG=-all
# No offer of Mono or Gecko, and no registration of Internet Explorer, which no test opens: under
# emulation its registration alone takes a minute of the smoke's boot.
export WINEDLLOVERRIDES="mscoree,mshtml,iexplore.exe="
case "$action" in
  up)
    . "$(dirname "$0")/wine-loader.sh"
    wine_loader || exit $?
    if [ -n "$(ls -A "$WINEPREFIX" 2>/dev/null)" ]; then
      wineserver -k 2>/dev/null || true
      rm -rf "$WINEPREFIX"
    fi
    # Wine's own fonts are there from the start, so that no program of the prefix, Wine's own
    # included, ever sees them arrive: the dialogs are measured and drawn in their own font.
    mkdir -p "$WINEPREFIX/drive_c/windows"
    added=$(sh "$(dirname "$0")/../scripts/wine-fonts.sh" "$WINEPREFIX")
    # The server and the processes wineboot leaves running must not hold ctest's output pipe,
    # or ctest waits for them until the run ends.
    wineserver -p >"$WINEPREFIX.log" 2>&1 </dev/null
    # The first program started in a new prefix has Wine set it up (wineboot --init) and waits
    # for that. A `wineboot -i` of its own would set it up a second time and start a second
    # service manager, and then each program's first COM call waits ten seconds for an RpcSs
    # that never starts.
    "$WINE_LOADER" cmd.exe /c exit >>"$WINEPREFIX.log" 2>&1 </dev/null
    # Every program started after this sees the setting; LogPixels is read at a program's start.
    case "$setting" in
      "") ;;
      *dpi)
        "$WINE_LOADER" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD \
          /d "${setting%dpi}" /f >>"$WINEPREFIX.log" 2>&1 </dev/null ;;
      *) "$WINE_LOADER" winecfg /v "$setting" >>"$WINEPREFIX.log" 2>&1 </dev/null ;;
    esac
    echo "prefix ready: $WINEPREFIX (with $added of Wine's fonts${setting:+, at $setting})"
    ;;
  down)
    wineserver -k 2>/dev/null || true
    ;;
  *)
    echo "usage: $0 up|down PREFIX [BITS [SETTING]]" >&2
    exit 2
    ;;
esac
