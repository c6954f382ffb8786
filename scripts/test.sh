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

# tree TARGET NICENESS: configures, builds (at that niceness) and tests one tree; its status is
# the run's.
tree() {
  build="$here/build/$1"
  cmake -G Ninja -S "$here" -B "$build" --toolchain "$here/cmake/$1.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DMORVANE_WERROR=ON &&
    nice -n "$2" cmake --build "$build" &&
    cd "$build" &&
    xvfb-run -a -s "-screen 0 1024x768x24" \
      ctest --output-on-failure -j "${MORVANE_TEST_JOBS:-4}"
}

# The longest chain is the 32-bit tree's: its build, then the smoke's prefix boot and program
# start, which need a processor each, then its wait on the clock. So the 64-bit build gives way.
mkdir -p "$here/build"
(tree i686-w64-mingw32 0) >"$here/build/i686-w64-mingw32.log" 2>&1 &
pid32=$!
(tree x86_64-w64-mingw32 5) >"$here/build/x86_64-w64-mingw32.log" 2>&1 &
pid64=$!
echo "Building and testing both trees side by side (build/i686-w64-mingw32.log," \
     "build/x86_64-w64-mingw32.log)."
# Stopped, the run takes both trees with it.
trap 'kill $pid32 $pid64 2>/dev/null; exit 130' INT
trap 'kill $pid32 $pid64 2>/dev/null; exit 143' HUP TERM

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
exit $status
