#!/bin/sh
# Sets up everything, builds the 32-bit release and the 64-bit build, and runs the whole test
# suite of each under Wine on a virtual X display.
#
# MORVANE_EMULATE_32BIT=1 takes the way of a kernel without 32-bit support on any kernel, to try
# it: the 32-bit tests under Wine are skipped, and the smoke of the shipped program runs under qemu.
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
sh "$here/scripts/setup.sh"

# Some kernels are built without 32-bit support; Wine cannot run the 32-bit build there, except
# under emulation, which is slow enough that only the smoke of the shipped program runs so.
emulate=
if [ -n "$MORVANE_EMULATE_32BIT" ] ||
   ! (MORVANE_WINE_BITS=32; . "$here/cmake/wine-loader.sh"; wine_loader 2>/dev/null); then
  emulate=1
  sh "$here/scripts/setup.sh" qemu-user-static
  . "$here/scripts/emulate-i386.sh"
  # Whatever way this script ends, the handler goes with it.
  trap emulation_off EXIT
  trap 'exit 130' INT
  trap 'exit 143' HUP TERM
fi

suite() {
  (cd "$build" && xvfb-run -a -s "-screen 0 1024x768x24" ctest --output-on-failure "$@") || status=1
}

status=0
for target in i686-w64-mingw32 x86_64-w64-mingw32; do
  build="$here/build/$target"
  echo "== $target"
  cmake -G Ninja -S "$here" -B "$build" --toolchain "$here/cmake/$target.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DMORVANE_WERROR=ON
  cmake --build "$build"
  if [ "$target" != i686-w64-mingw32 ] || [ -z "$emulate" ]; then
    suite
    continue
  fi
  echo "NOTE: this kernel cannot run 32-bit programs: the 32-bit build is built and checked," \
       "and of its tests under Wine only the installer's and the smoke's run; the 64-bit suite" \
       "runs in full."
  # The handler is up for the smoke alone: the rest of the suite runs as on any such kernel.
  suite -E '^package_smoke$'
  if emulation_on; then
    echo "NOTE: this kernel cannot run 32-bit programs, so for the smoke of the shipped 32-bit" \
         "morvane.exe alone qemu-user-static runs them (binfmt_misc handler morvane-i386)."
    suite -R '^package_smoke$'
    emulation_off
  else
    echo "NOTE: this kernel cannot run 32-bit programs, nor emulate them here" \
         "($emulation_failure): the smoke of the shipped 32-bit morvane.exe is skipped too."
    export MORVANE_WINE_EMULATION="$emulation_failure"
    suite -R '^package_smoke$'
    unset MORVANE_WINE_EMULATION
  fi
done
exit $status
