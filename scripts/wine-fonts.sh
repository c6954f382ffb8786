#!/bin/sh
# Gives a Wine prefix Wine's own fonts: Marlett (the symbols of the caption buttons), MS Sans Serif
# (the dialogs' font), Tahoma (behind "MS Shell Dlg"), Symbol, Wingdings and the bitmap fonts
# behind "System" and "Fixedsys". Debian's package fonts-wine puts them into /usr/share/wine/fonts,
# but Debian's Wine 8 does not find them there: it looks in "<data folder>\../fonts", a path
# that never resolves. So they go where Windows keeps fonts, the prefix's C:\windows\Fonts,
# whose every file Wine loads, bitmap fonts (MS Sans Serif, System) included.
#
#   sh scripts/wine-fonts.sh PREFIX
#
# It only ever adds: a font whose file name is already in C:\windows\Fonts, in any case, is left
# alone, so fonts that a user installed keep their place; nothing is replaced, changed or deleted.
# It prints how many files it added.
set -e
prefix=${1:?usage: wine-fonts.sh PREFIX}
source=/usr/share/wine/fonts

if [ ! -f "$source/marlett.ttf" ]; then
  echo "wine-fonts: Wine's fonts are not in $source: install the package fonts-wine" \
       "(sh scripts/setup.sh does)" >&2
  exit 1
fi
# The folder Wine itself takes for C:\windows (drive C: is a link that a user may have moved).
windows="$prefix/dosdevices/c:/windows"
[ -d "$windows" ] || windows="$prefix/drive_c/windows"
if [ ! -d "$windows" ]; then
  echo "wine-fonts: $prefix is not a Wine prefix (it has no C:\\windows)" >&2
  exit 1
fi
# Windows names are blind to case, and so is Wine's lookup: an existing "fonts" is the folder.
fonts=$(find "$windows" -mindepth 1 -maxdepth 1 -iname fonts | head -n 1)
if [ -z "$fonts" ]; then
  fonts="$windows/Fonts"
  mkdir "$fonts"
fi

present=$(ls -A "$fonts" | tr '[:upper:]' '[:lower:]')
added=0
for file in "$source"/*; do
  name=$(basename "$file")
  lower=$(echo "$name" | tr '[:upper:]' '[:lower:]')
  if ! printf '%s\n' "$present" | grep -qxF "$lower"; then
    # -n: should the file appear meanwhile, it is still not overwritten.
    cp -n "$file" "$fonts/$name"
    added=$((added + 1))
  fi
done
echo "$added"
