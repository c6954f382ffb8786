#!/bin/sh
# scripts/setup.sh as a user without root, against stand-ins first on PATH: id, sleep, sudo (which
# clears the environment, as the real one does), dpkg, dpkg-query, and apt-get, which logs its
# calls and fails as a mirror in the middle of a sync makes it fail. No network, no root.
#   sh setup_test.sh SOURCE_DIR WORK_DIR
set -u
source_dir=$1
work=$2
codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
rm -rf "$work" && mkdir -p "$work/bin" && cd "$work" || exit 1
stand_in() { printf '#!/bin/sh\ncd "%s"\n%s\n' "$work" "$2" >"bin/$1" && chmod +x "bin/$1"; }
stand_in id 'echo 1000'
stand_in sleep :
stand_in sudo 'exec env -i PATH="$PATH" SUDO_USER=tester "$@"'
stand_in dpkg-query 'for p; do :; done; ! grep -qx "$p" missing && echo "install ok installed"'
stand_in dpkg 'case $1 in --print-*) cat i386 ;; *) echo "${SUDO_USER:+sudo }dpkg $*" >>log ;; esac'
stand_in apt-get 'echo "${SUDO_USER:+sudo }apt-get $* (${DEBIAN_FRONTEND:-interactive})" >>log
case "$1 $*" in
  update*) [ ! -e update-fails ] ;;
  *" -t "*) [ ! -e install-fails ] ;;
  *) [ ! -e install-fails ] && [ ! -e install-needs-t ] ;;
esac || exit 100'

failures=0
fail() { failures=$((failures + 1)); echo "FAIL ($1): $2"; sed 's/^/  | /' out log; }
# check CASE MISSING STATES STATUS CALLS SAYS: with the packages MISSING not installed and the
# files STATES present (i386 names the architecture dpkg already has), setup.sh must exit with
# STATUS, after exactly the calls CALLS, having said SAYS in one line.
check() {
  rm -f log out update-fails install-fails install-needs-t i386
  : >log
  printf '%s\n' $2 >missing
  for state in $3; do echo i386 >"$state"; done
  status=0
  PATH="$work/bin:$PATH" sh "$source_dir/scripts/setup.sh" >out 2>&1 || status=$?
  [ "$status" = "$4" ] || fail "$1" "exit $status, not $4"
  printf '%s' "$5" | cmp -s - log || fail "$1" "other calls than expected"
  [ -z "$6" ] || [ "$(grep -c -- "$6" out)" = 1 ] || fail "$1" "not one line with: $6"
}
update='sudo apt-get update -q (interactive)
'
install='sudo apt-get install -y -q --no-install-recommends'
front='(noninteractive)
'
check "all installed" "" "i386" 0 "" ""
check "indexes keep failing" "wine32:i386 xvfb" "update-fails" 0 "sudo dpkg --add-architecture i386
$update$update$update$install wine32:i386 xvfb $front" "indexes still fail"
check "install needs the release's suite" "wine32:i386 xvfb" "i386 install-needs-t" 0 \
  "$update$install wine32:i386 xvfb $front$install -t $codename wine32:i386 xvfb $front" \
  "install -t $codename"
check "install fails both ways" "wine32:i386 xvfb" "i386 install-fails" 1 \
  "$update$install wine32:i386 xvfb $front$install -t $codename wine32:i386 xvfb $front" \
  "could not install: wine32:i386 xvfb"
[ "$failures" -eq 0 ] && echo "setup.sh: all four cases as expected"
exit "$failures"
