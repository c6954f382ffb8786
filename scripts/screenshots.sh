#!/bin/sh
# Takes the README's pictures of the real program: builds the 32-bit release, runs it under
# Wine in a virtual desktop on a virtual X display (Xvfb), with a throwaway Wine prefix that is
# deleted afterwards, fills its schedule with a week of programmes, and saves into docs/images/:
#
#   tray-menu.png      the tray icon with its menu open, at 100 %
#   tray-tip.png       the tray icon's tip, naming the next programme, with the pointer on the icon
#   overview.png       the weekly overview
#   add-entry.png      the add dialog, filled in
#   alert-sound.png    the alert sound dialog ("How to alert")
#   alert.png          an alert box (it waits for a real alert at the start of the next minute)
#   tray-menu-150.png  the tray icon with its menu open at 150 % (144 DPI), after a restart
#
# tools/shots.cpp, built here beside the release, puts the program into each state and says
# where on the screen it is; ImageMagick's `import` takes the picture. The prefix gets Wine's own
# fonts (scripts/wine-fonts.sh), and no picture is taken unless they are there: without them Wine
# draws the caption buttons as letters and the dialogs in a stand-in font.
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
# The pictures show the 32-bit release; on a kernel built without 32-bit support Wine cannot
# run it, and the 64-bit build, the same program, stands in.
. "$here/cmake/wine-loader.sh"
MORVANE_WINE_BITS=${MORVANE_WINE_BITS:-32}
if ! wine_loader 2>/dev/null; then
  MORVANE_WINE_BITS=64
  wine_loader
fi
export MORVANE_WINE_BITS
if [ "$MORVANE_WINE_BITS" = 64 ]; then
  build="$here/build/release64" triple=x86_64-w64-mingw32
else
  build="$here/build/release" triple=i686-w64-mingw32
fi

if [ "$1" != "--on-display" ]; then
  sh "$here/scripts/setup.sh"
  if ! command -v import >/dev/null 2>&1; then
    if [ "$(id -u)" -eq 0 ]; then sudo=; else sudo=sudo; fi
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends imagemagick
  fi
  cmake -G Ninja -S "$here" -B "$build" --toolchain "$here/cmake/$triple.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DMORVANE_TESTS=OFF >/dev/null
  cmake --build "$build"
  mkdir -p "$build/shots"
  $triple-g++-posix -std=c++17 -O2 -static -Wall -Wextra -I"$here/tests/support" \
      -o "$build/shots/shots.exe" "$here/tools/shots.cpp" "$here/tests/e2e/e2e.cpp" \
      "$here/tests/support/unmanaged.cpp" -luser32 -lgdi32 -ladvapi32 -lshlwapi -lshell32
  exec xvfb-run -a -s "-screen 0 800x600x24" sh "$0" --on-display
fi

# From here on we are on the virtual display, whose screen is exactly the Wine desktop.
images="$here/docs/images"
mkdir -p "$images"
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/morvane-shots.XXXXXX")
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
morvane_pid=
cleanup() {
  [ -n "$morvane_pid" ] && kill "$morvane_pid" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT INT TERM

# One step of the driver. A step that fails says which: set -e alone would end in silence.
shots() {
  "$WINE_LOADER" "$build/shots/shots.exe" "$@" && return 0
  echo "screenshots: the step \"$*\" failed" >&2
  return 1
}
# A step that prints a rectangle; fails when the step does (set -e does not see into "set --").
rect() { out=$(shots "$@") || return 1; echo "$out" | tr -d '\r'; }

# x y w h of a window, widened by a margin and kept on the 800x600 screen: a crop geometry.
crop() {
  echo "$1 $2 $3 $4 $5" | awk '{
    m = $5; x = $1 - m; y = $2 - m; r = $1 + $3 + m; b = $2 + $4 + m;
    if (x < 0) x = 0; if (y < 0) y = 0; if (r > 800) r = 800; if (b > 600) b = 600;
    printf "%dx%d+%d+%d\n", r - x, b - y, x, y }'
}

# The picture of the screen, cut to a geometry; no timestamps, so unchanged pictures stay so.
snap() {
  import -window root -crop "$2" +repage -define png:exclude-chunks=date,time "$images/$1"
  echo "saved docs/images/$1 ($2)"
}

echo "Preparing a throwaway Wine prefix (about ten seconds)"
# Wine's own fonts go in first, so that the prefix never runs without them.
mkdir -p "$WINEPREFIX/drive_c/windows"
sh "$here/scripts/wine-fonts.sh" "$WINEPREFIX" >/dev/null
wineserver -p
# The first program in the new prefix has Wine set it up, once.
"$WINE_LOADER" cmd.exe /c exit >/dev/null 2>&1 </dev/null
# No picture without the real fonts: Marlett draws the caption buttons, and the dialogs' font is
# the one their templates name.
set -- Marlett
while IFS= read -r face; do set -- "$@" "$face"; done <<EOF
$(sed -n 's/^FONT *[0-9]*, *"\(.*\)".*/\1/p' "$here"/res/*.rc | sort -u)
EOF
if ! missing=$("$WINE_LOADER" "$build/shots/shots.exe" fonts "$@"); then
  echo "screenshots: the Wine prefix has no font named" \
       "$(echo "$missing" | tr -d '\r' | paste -s -d , | sed 's/,/, /g')." >&2
  echo "Wine would draw letters for the caption buttons and a stand-in for the dialogs' font." \
       "Install Wine's own fonts (sh scripts/setup.sh installs fonts-wine) and run this again." >&2
  exit 1
fi

# Programs started without /desktop (the driver) join the same virtual desktop, which has a
# taskbar with a notification area.
"$WINE_LOADER" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Morvane /f >/dev/null 2>&1
"$WINE_LOADER" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Morvane /d 800x600 /f >/dev/null 2>&1
"$WINE_LOADER" reg add 'HKCU\Software\Wine\Explorer\Desktops\Morvane' /v EnableShell /t REG_DWORD /d 1 \
     /f >/dev/null 2>&1

# A week of programmes, as the add dialog stores them, and the warning chime as the sound.
shots store alertmode 1 \
  10700PMNews News                  10830PMNature\ Watch "Nature Watch" \
  20630PMQuiz\ Time "Quiz Time"     21045PMFilm Film \
  30900PMDetective\ Drama "Detective Drama" \
  40730PMCookery\ Hour "Cookery Hour" \
  50705PMNews News                  50900PMComedy\ Club "Comedy Club" \
  60600PMFootball Football          60915PMSaturday\ Film "Saturday Film" \
  70500PMGarden\ Show "Garden Show" 70800PMCostume\ Drama "Costume Drama"

# Morvane takes its working directory as its installation folder.
cd "$build/bin"
"$WINE_LOADER" explorer /desktop=Morvane,800x600 morvane.exe >/dev/null 2>&1 &
morvane_pid=$!
# A driver started while Wine is still making the virtual desktop never sees the windows on it
# (it waits out its ten seconds); one started after that sees Morvane at once.
"$WINE_LOADER" "$build/shots/shots.exe" main || shots main
shots tray >/dev/null

# The tray menu and the notification area below it, to the screen's corner, as NAME; the margin
# is that of 100 % times SCALE.
tray_menu() {
  name=$1 scale=$2
  r=$(rect menu); set -- $r
  snap "$name" "$(echo "$1 $2" | awk -v s="$scale" '{ x = $1 - 24 * s; y = $2 - 16 * s;
    if (x < 0) x = 0; printf "%dx%d+%d+%d\n", 800 - x, 600 - y, x, y }')"
  shots escape
}
tray_menu tray-menu.png 1

r=$(rect tip); set -- $r
snap tray-tip.png "$(crop "$@" 12)"

r=$(rect overview); set -- $r
snap overview.png "$(crop "$@" 12)"

r=$(rect add 2 Film 10 45 PM); set -- $r
snap add-entry.png "$(crop "$@" 12)"
shots press "Add entry" 2

r=$(rect sound); set -- $r
snap alert-sound.png "$(crop "$@" 12)"
shots press "How to alert" 1
shots press "Morvane Settings" 1

# A programme due at the start of the next minute that is at least five seconds away, on
# today's day and in the 12-hour form the add dialog stores.
due=$(( ($(date +%s) + 5) / 60 * 60 + 60 ))
key=$(LC_ALL=C date -d "@$due" +%u%I%M%p)Film
shots store "$key" Film
echo "Waiting for the alert at $(date -d "@$due" +%H:%M)"
r=$(rect window "Morvane alert" 90); set -- $r
snap alert.png "$(crop "$@" 12)"
shots press "Morvane alert" 1

shots exit

# At 150 %: a program reads the display's scale when it starts, so once the prefix says 144 DPI,
# Wine starts afresh, desktop and taskbar included (the reg command has started them already).
kill "$morvane_pid" 2>/dev/null || true
wineserver -k
"$WINE_LOADER" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f \
  >/dev/null 2>&1
wineserver -k
wineserver -p
"$WINE_LOADER" explorer /desktop=Morvane,800x600 morvane.exe >/dev/null 2>&1 &
morvane_pid=$!
"$WINE_LOADER" "$build/shots/shots.exe" main || shots main
shots tray >/dev/null
tray_menu tray-menu-150.png 1.5

# Morvane ends here; the virtual desktop it ran in does not, so the clean-up ends Wine.
shots exit
