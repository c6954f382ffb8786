#!/bin/sh
# Installs what building, running and testing Morvane need on Debian 12 or Ubuntu:
# the MinGW-w64 cross compilers, CMake and Ninja, Wine with its 32-bit half, Xvfb,
# GoogleTest's sources, Python 3 (for the icon, sound and help generators), Wine's own fonts
# (fonts-wine, which Wine only recommends: scripts/wine-fonts.sh puts them into each prefix),
# wixl, which builds the Windows Installer package, msitools, whose msiinfo the installer's
# test reads the package with, libmsi's Python bindings (python3-gi, gir1.2-libmsi-1.0), which
# make the package's summary reproducible, and osslsigncode and openssl, which sign the release
# and test its signatures. Packages named as arguments are installed as well.
set -e
packages="cmake ninja-build python3 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 googletest wine wine64 wine32:i386
 fonts-wine xvfb xauth wixl msitools python3-gi gir1.2-libmsi-1.0 osslsigncode openssl $*"

if [ "$(id -u)" -eq 0 ]; then sudo=; else sudo=sudo; fi

missing=
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi

# A mirror in the middle of a sync serves some indexes with the wrong size for a while. Such an
# update is tried again a few times; after that, the install with the indexes apt has decides.
tries=1
until $sudo apt-get update -q; do
  if [ "$tries" -ge 3 ]; then
    echo "setup.sh: some package indexes still fail to download after $tries tries (a mirror" \
         "in the middle of a sync?); installing with those apt has."
    break
  fi
  tries=$((tries + 1))
  sleep 10
done

# sudo hands the command a clean environment: the front end is set on its side of it.
apt_install() {
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$@" $missing
}
# With one index missing (the i386 half of the security suite, say), the two halves of a
# Multi-Arch library get different candidates and wine32:i386 cannot be installed; the
# release's own suite has both halves at one version.
if ! apt_install; then
  codename=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}") || codename=
  if [ -n "$codename" ]; then
    echo "setup.sh: the install failed; trying once more with the packages of $codename" \
         "itself preferred (apt-get install -t $codename)."
    apt_install -t "$codename" && exit
  fi
  echo "setup.sh: could not install:$missing" >&2
  exit 1
fi
