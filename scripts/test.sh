#!/bin/sh
# Sets up everything, builds the 32-bit release and the 64-bit build, and runs the whole test
# suite of each under Wine on a virtual X display of its own.
#
# The two trees share nothing (each has its own prefixes, store and display), so each is built
# and tested beside the other, and within a tree ctest runs side by side whatever its tests'
# declarations let it: most of the time goes in waiting for the next minute, a prefix's boot or
# an emulated program. Each tree's output is kept in build/<tree>.log and shown whole, labelled,
# once both are done.
#
# MORVANE_EMULATE_32BIT=1 takes the way of a kernel without 32-bit support on any kernel, to try
# it: the 32-bit tests under Wine are skipped, and the smoke of the shipped program runs under qemu.
# MORVANE_TEST_JOBS sets how many tests of a tree may run at once (default 4).
set -e
here=$(cd "$(dirname "$0")/.." && pwd)

# tree TARGET NICENESS DISPLAY: configures, builds (at that niceness) and tests one tree, on an X
# display of its own from DISPLAY up; its status is the run's.
tree() {
  build="$here/build/$1"
  cmake -G Ninja -S "$here" -B "$build" --toolchain "$here/cmake/$1.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DMORVANE_WERROR=ON &&
    nice -n "$2" cmake --build "$build" &&
    cd "$build" &&
    xvfb-run -n "$3" -a -s "-screen 0 1024x768x24" \
      ctest --output-on-failure -j "${MORVANE_TEST_JOBS:-4}"
}
if [ "${1:-}" = --tree ]; then
  shift
  # Started by setsid, this shell leads a session and process group of its own, which hold all
  # the tree starts. Where setsid had to fork, that group is not the one the run knows ($!), so
  # the tree tells it.
  mkdir -p "$here/build"
  echo $$ >"$here/build/$1.group"
  tree "$@"
  exit
fi

sh "$here/scripts/setup.sh"

# Some kernels are built without 32-bit support; Wine cannot run the 32-bit build there, except
# under emulation, which is slow enough that only the smoke of the shipped program runs so.
if [ -n "$MORVANE_EMULATE_32BIT" ] ||
   ! (MORVANE_WINE_BITS=32; . "$here/cmake/wine-loader.sh"; wine_loader 2>/dev/null); then
  sh "$here/scripts/setup.sh" qemu-user-static
  export MORVANE_EMULATE_I386="$here/scripts/emulate-i386.sh"
  echo "NOTE: this kernel cannot run 32-bit programs: the 32-bit build is built and checked," \
       "and of its tests under Wine only the installer's and the smoke's run, the smoke under" \
       "qemu-user-static (scripts/emulate-i386.sh); the 64-bit suite runs in full."
fi

mkdir -p "$here/build"
# Wine copies its DLLs into every prefix, 1.3 GB each, and each tree boots four, so a run needs
# about 12 GB on the build's disk. Short of it, prefixes fail to boot and tests fail for reasons
# their output does not name; say it before the run and again after it fails.
space() { df -Pm "$here/build" 2>/dev/null | awk 'NR == 2 { print $4 }'; }
free=$(space)
[ "${free:-0}" -ge 12288 ] ||
  echo "WARNING: $free MB free in $here/build, and a run needs about 12 GB: tests that boot" \
       "a Wine prefix may fail for want of space."
# tree_group TARGET LAUNCHER: the process group of a tree, which it records as it starts, while
# its launcher (setsid) still runs.
tree_group() {
  tries=0
  while [ ! -s "$here/build/$1.group" ] && kill -0 "$2" 2>/dev/null && [ "$tries" -lt 20 ]; do
    sleep 0.5
    tries=$((tries + 1))
  done
  cat "$here/build/$1.group" 2>/dev/null || true
}
# Stopped (Ctrl+C, or a TERM or HUP from CI), the run ends both trees and everything under them.
# Each tree runs in a session of its own, whose process group takes its ctest, Xvfb and programs
# (started from this script, they ignore the Ctrl+C a terminal sends, as background commands
# do); each Wine server has a session of its own too, so each prefix of the tree is ended by its
# server.
stop() {
  trap '' INT HUP TERM
  groups=
  [ -z "$pid32" ] || groups="$groups $(tree_group i686-w64-mingw32 "$pid32")"
  [ -z "$pid64" ] || groups="$groups $(tree_group x86_64-w64-mingw32 "$pid64")"
  for group in $groups; do kill -TERM "-$group" 2>/dev/null || true; done
  for group in $groups; do
    tries=0
    while kill -0 "-$group" 2>/dev/null && [ "$tries" -lt 20 ]; do
      sleep 0.5
      tries=$((tries + 1))
    done
    kill -KILL "-$group" 2>/dev/null || true
  done
  # The launchers, which end with their trees.
  wait
  find "$here/build/i686-w64-mingw32" "$here/build/x86_64-w64-mingw32" -maxdepth 4 \
       \( -name drive_c -o -name CMakeFiles \) -prune -o -name dosdevices -print 2>/dev/null |
    while read -r devices; do
      WINEPREFIX="${devices%/dosdevices}" wineserver -k 2>/dev/null || true
    done
  echo "Stopped: both trees and everything they started have ended (build/<tree>.log has each" \
       "tree's output so far)."
  exit "$1"
}
pid32=
pid64=
rm -f "$here/build/i686-w64-mingw32.group" "$here/build/x86_64-w64-mingw32.group"
trap 'stop 130' INT
trap 'stop 129' HUP
trap 'stop 143' TERM

# The longest chain is the 32-bit tree's: its build, then the smoke's prefix boot and program
# start, which need a processor each, then its wait on the clock. So the 64-bit build gives way.
# Each tree's display is looked for from a number of its own, so that the two never race for one;
# xvfb-run takes the next free one if another run, of this user or another, holds it.
# setsid -w: where it must fork to make a session (the script run with job control on, each
# background command leading its own process group), the status waited for is still the tree's,
# not that of a parent that left at once.
setsid -w sh "$here/scripts/test.sh" --tree i686-w64-mingw32 0 232 \
  >"$here/build/i686-w64-mingw32.log" 2>&1 &
pid32=$!
setsid -w sh "$here/scripts/test.sh" --tree x86_64-w64-mingw32 5 264 \
  >"$here/build/x86_64-w64-mingw32.log" 2>&1 &
pid64=$!
echo "Building and testing both trees side by side (build/i686-w64-mingw32.log," \
     "build/x86_64-w64-mingw32.log)."

status=0
report() {
  result=0
  wait "$2" || result=$?
  printf '\n======== %s ========\n' "$1"
  cat "$here/build/$1.log"
  if [ "$result" -eq 0 ]; then
    echo "======== $1: passed"
  else
    echo "======== $1: FAILED (exit $result)"
    status=1
  fi
}
report i686-w64-mingw32 $pid32
report x86_64-w64-mingw32 $pid64
[ "$status" -eq 0 ] || echo "$(space) MB are free in $here/build now (a run needs about 12 GB)."
exit $status
