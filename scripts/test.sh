#!/bin/sh
# Sets up everything, builds the 32-bit release and the 64-bit build, and runs the whole test
# suite of each under Wine on a virtual X display.
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
sh "$here/scripts/setup.sh"

# Some kernels are built without 32-bit support; Wine cannot run the 32-bit build there.
if ! (MORVANE_WINE_BITS=32; . "$here/cmake/wine-loader.sh"; wine_loader 2>/dev/null); then
  echo "NOTE: this machine's kernel cannot run 32-bit programs: the 32-bit build is built and"
  echo "      checked, but its tests under Wine are skipped; the 64-bit suite runs in full."
fi

status=0
for target in i686-w64-mingw32 x86_64-w64-mingw32; do
  build="$here/build/$target"
  echo "== $target"
  cmake -G Ninja -S "$here" -B "$build" --toolchain "$here/cmake/$target.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DMORVANE_WERROR=ON
  cmake --build "$build"
  (cd "$build" && xvfb-run -a -s "-screen 0 1024x768x24" ctest --output-on-failure) || status=1
done
exit $status
