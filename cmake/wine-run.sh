#!/bin/sh
# Runs a Windows program of the build under Wine, in the build tree's own prefix, so that
# the tests never touch the user's ~/.wine. MORVANE_WINEPREFIX is set by ctest.
: "${MORVANE_WINEPREFIX:?MORVANE_WINEPREFIX is not set}"
export WINEPREFIX="$MORVANE_WINEPREFIX"
export WINEDEBUG="${WINEDEBUG:--all}"
# Keep Wine from offering to download Mono and Gecko on the first boot.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
exec wine "$@"
