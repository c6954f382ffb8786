#!/bin/sh
# Sets up everything, builds the 32-bit release and starts Morvane under Wine, from the folder
# that holds its sounds and help file (Morvane takes its working directory as its installation
# folder). It runs in your own Wine prefix (WINEPREFIX, or ~/.wine), like any Windows program, to
# which it adds Wine's own fonts where they are missing.
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
sh "$here/scripts/setup.sh"

release() {
  cmake -G Ninja -S "$here" -B "$1" --toolchain "$here/cmake/$2.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DMORVANE_TESTS=OFF >/dev/null
  cmake --build "$1"
}

# The release is the 32-bit build, and its packages are built on any kernel. A kernel built
# without 32-bit support cannot run it under Wine; there the 64-bit build, the same program, runs
# instead, though it is no package for Windows (a standard user's 64-bit program cannot write its
# schedule there).
build="$here/build/release"
release "$build" i686-w64-mingw32
MORVANE_WINE_BITS=32
. "$here/cmake/wine-loader.sh"
if ! wine_loader 2>/dev/null; then
  echo "This machine's kernel cannot run 32-bit programs: running the 64-bit build instead." \
       "For Windows, take $(ls "$build"/morvane-*-win32.msi)."
  build="$here/build/release64"
  release "$build" x86_64-w64-mingw32
  MORVANE_WINE_BITS=64
  wine_loader
fi

cd "$build/bin"
export WINEDEBUG="${WINEDEBUG:--all}"

# Wine's own fonts, so that caption buttons show their symbols and the dialogs their font. The
# prefix is yours: fonts are only added, never replaced (see scripts/wine-fonts.sh).
# A new prefix gets them before Wine first starts in it.
prefix="${WINEPREFIX:-$HOME/.wine}"
if [ ! -d "$prefix/drive_c/windows" ] && [ ! -d "$prefix/dosdevices/c:/windows" ]; then
  echo "Making the Wine prefix $prefix"
  mkdir -p "$prefix/drive_c/windows"
  added=$(sh "$here/scripts/wine-fonts.sh" "$prefix")
  # The first program started in a new prefix has Wine set it up and waits for that; a
  # `wineboot -i` would be a second setup, racing the first.
  said=$(mktemp)
  if ! WINEPREFIX="$prefix" "$WINE_LOADER" cmd.exe /c exit >"$said" 2>&1 </dev/null; then
    echo "Wine could not set up the prefix $prefix. What it said:"
    cat "$said"
    rm -f "$said"
    exit 1
  fi
  rm -f "$said"
  # The setup leaves its Wine session running for a few seconds, with a desktop made without the
  # display Morvane is about to get. Morvane would join it, fail to make its window and end at
  # once; so that session ends first, and Morvane starts one on its own display.
  WINEPREFIX="$prefix" wineserver -w
else
  added=$(sh "$here/scripts/wine-fonts.sh" "$prefix")
fi
[ "$added" -eq 0 ] ||
  printf '%s\n' "Added $added of Wine's own fonts to $prefix (C:\windows\Fonts); nothing was replaced."

# Runs Morvane in the foreground. A Morvane that ends within seconds of its start never got
# going, and ended silently, as it does by design: say so rather than leave the user believing it
# runs.
run_morvane() {
  started=$(date +%s)
  status=0
  "$@" || status=$?
  lasted=$(($(date +%s) - started))
  if [ "$lasted" -lt 10 ]; then
    echo "Morvane ended $lasted seconds after it started, with exit code $status: either another" \
         "copy already runs in $prefix, or there is no display for its window."
  fi
  return $status
}

if [ -n "${DISPLAY:-}" ]; then
  echo "Starting Morvane: look for the small TV in the notification area."
  echo "To stop it, right-click the icon and choose \"Suspend Morvane\"."
  run_morvane "$WINE_LOADER" morvane.exe
  exit
fi
echo "No display is available, so Morvane runs on a virtual X display (Xvfb) that nobody sees."
echo "To stop it, press Ctrl+C here, or run: wineserver -k"
run_morvane xvfb-run -a -s "-screen 0 1024x768x24" "$WINE_LOADER" morvane.exe
