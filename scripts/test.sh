#!/bin/sh
# Sets up everything, builds the 32-bit release and the 64-bit build, and runs the whole test
# suite of each under Wine on a virtual X display.
#
# MORVANE_EMULATE_32BIT=1 takes the way of a kernel without 32-bit support on any kernel: the
# 32-bit suite runs under qemu, and so only its smoke of the shipped program.
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
sh "$here/scripts/setup.sh"

# Some kernels are built without 32-bit support; Wine cannot run the 32-bit build there, except
# under emulation, which is slow enough that only the smoke of the shipped program runs.
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

status=0
for target in i686-w64-mingw32 x86_64-w64-mingw32; do
  build="$here/build/$target"
  echo "== $target"
  cmake -G Ninja -S "$here" -B "$build" --toolchain "$here/cmake/$target.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DMORVANE_WERROR=ON
  cmake --build "$build"
  if [ "$target" = i686-w64-mingw32 ] && [ -n "$emulate" ]; then
    if emulation_on; then
      echo "NOTE: this kernel cannot run 32-bit programs, so for this suite only qemu-user-static" \
           "runs them (binfmt_misc handler morvane-i386), for the smoke of the shipped 32-bit" \
           "morvane.exe; the suite's other tests under Wine are skipped."
    else
      echo "NOTE: this kernel cannot run 32-bit programs, and they cannot be emulated here" \
           "($emulation_failure): the 32-bit build is built and checked, its tests under Wine" \
           "are skipped, the smoke of the shipped program included."
      export MORVANE_WINE_EMULATION="$emulation_failure"
    fi
  fi
  (cd "$build" && xvfb-run -a -s "-screen 0 1024x768x24" ctest --output-on-failure) || status=1
  if [ -n "$emulate" ]; then
    emulation_off
    unset MORVANE_WINE_EMULATION
  fi
done
exit $status
