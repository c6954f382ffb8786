#!/bin/sh
# Runs a Windows program of the build under Wine, in the build tree's own prefix, so that
# the tests never touch the user's ~/.wine. MORVANE_WINEPREFIX and MORVANE_WINE_BITS are set
# by the build tree's wrapper.
: "${MORVANE_WINEPREFIX:?MORVANE_WINEPREFIX is not set}"
export WINEPREFIX="$MORVANE_WINEPREFIX"
export WINEDEBUG="${WINEDEBUG:--all}"
# Keep Wine from offering to download Mono and Gecko on the first boot. The caller's overrides
# come after: Wine takes the last entry for a DLL.
export WINEDLLOVERRIDES="mscoree,mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
. "$(dirname "$0")/wine-loader.sh"
wine_loader || exit $?
exec "$WINE_LOADER" "$@"
