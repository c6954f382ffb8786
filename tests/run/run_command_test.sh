#!/bin/sh
# The README's run command as a new user meets it on a machine without a display: it must leave
# Morvane running with its first-run tip in a new prefix, and a second run while that copy still
# runs must say in one line that Morvane ended at once, and why it may have. Before that, the
# README's test command is stopped part way, and must have ended everything it started when it
# says so.
#
#   sh run_command_test.sh SOURCE_DIR RUN_DRIVER WORK_DIR
#
# HOME and WINEPREFIX are throwaway folders under WORK_DIR, so the user's own prefix is never
# touched. RUN_DRIVER is a 64-bit Windows program (tests/run/run_driver.cpp), which Wine can run
# whatever the kernel; it joins the session the run command started.
set -u
source_dir=$1
driver=$2
work=$3

rm -rf "$work"
mkdir -p "$work/home"
export HOME="$work/home"
export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all
unset DISPLAY XAUTHORITY
MORVANE_WINE_BITS=64
. "$source_dir/cmake/wine-loader.sh"
wine_loader

first=
fail() {
  echo "FAIL: $*"
  for log in "$work"/*.log; do
    [ -f "$log" ] && { echo "--- $(basename "$log")"; cat "$log"; }
  done
  exit 1
}
cleanup() {
  wineserver -k 2>/dev/null
  [ -n "$first" ] && kill "$first" 2>/dev/null
  for process in $(marked | cut -d' ' -f1); do kill -KILL "$process" 2>/dev/null; done
  wait 2>/dev/null
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# The id of the morvane.exe process of this prefix (Wine names the process after the program),
# or nothing.
morvane_process() {
  for dir in /proc/[0-9]*; do
    [ "$(cat "$dir/comm" 2>/dev/null)" = morvane.exe ] || continue
    cat "$dir/environ" 2>/dev/null | tr '\0' '\n' | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
    echo "${dir#/proc/}"
    return
  done
}
# Polls for up to $1 seconds until the command in the remaining arguments succeeds.
wait_for() {
  seconds=$1
  shift
  while ! "$@"; do
    [ "$seconds" -gt 0 ] || return 1
    seconds=$((seconds - 1))
    sleep 1
  done
}
morvane_started() {
  pid=$(morvane_process)
  [ -n "$pid" ] && return 0
  kill -0 "$first" 2>/dev/null || fail "the run command ended and no Morvane runs"
  return 1
}
ended() { ! kill -0 "$1" 2>/dev/null; }

# The test command stopped by Ctrl+C at a terminal, with job control off and on (where each
# tree's setsid must fork): by the time it says so, all it started must have ended. Its trees
# build and test nothing here: setup.sh, cmake and ctest are stand-ins that wait, the 64-bit tree
# in its build and the 32-bit one in its tests, under a real xvfb-run and Xvfb. All it starts
# carries a mark in its environment, by which whatever outlives the stop is found.
stopped=$work/test-command
mark="MORVANE_STOPPED_TEST_COMMAND=$stopped"
mkdir -p "$stopped/scripts" "$stopped/bin" "$stopped/build/i686-w64-mingw32"
ln -s "$source_dir/scripts/test.sh" "$stopped/scripts/test.sh"
: >"$stopped/scripts/setup.sh"
printf '#!/bin/sh\ncase "$*" in *_64-w64-mingw32) sleep 600 ;; esac\n' >"$stopped/bin/cmake"
printf '#!/bin/sh\nsleep 600\n' >"$stopped/bin/ctest"
chmod +x "$stopped/bin/cmake" "$stopped/bin/ctest" && mkfifo "$stopped/terminal"
# The processes that carry the mark, as "id name".
marked() {
  for file in $(grep -lzxF "$mark" /proc/[0-9]*/environ 2>/dev/null); do
    dir=${file%/environ} && echo "${dir#/proc/} $(cat "$dir/comm" 2>/dev/null)"
  done
}
trees_busy() {
  busy=$(marked)
  for name in cmake Xvfb ctest; do case "$busy" in *" $name"*) ;; *) return 1 ;; esac; done
}

for shell in sh "sh -m"; do
  echo "== the test command ($shell), stopped by Ctrl+C"
  # A command started in the background ignores Ctrl+C; one typed at a terminal does not.
  env --default-signal=INT "$mark" PATH="$stopped/bin:$PATH" MORVANE_EMULATE_32BIT=1 \
      SHELL=/bin/sh script -qec "$shell '$stopped/scripts/test.sh'" /dev/null \
      <"$stopped/terminal" >"$work/test-command.log" 2>&1 &
  tester=$!
  exec 3>"$stopped/terminal"
  wait_for 60 trees_busy || fail "$shell: its trees were not both busy after a minute"
  printf '\003' >&3
  wait_for 60 ended "$tester" || fail "$shell: the test command went on for a minute after Ctrl+C"
  exec 3>&-
  wait "$tester"
  status=$?
  left=$(marked)
  [ -z "$left" ] || fail "$shell: these outlived the test command's stop:" $left
  # The terminal's echo of ^C comes first on the line.
  [ "$status" -eq 130 ] && grep -q 'Stopped: both trees and everything they started have ended' \
    "$work/test-command.log" || fail "$shell: it ended with $status, not 130, or did not say so"
done

echo "== first run, new prefix $WINEPREFIX"
sh "$source_dir/scripts/run.sh" >"$work/first.log" 2>&1 &
first=$!
# The first run may install nothing, but it configures and builds the release.
wait_for 600 morvane_started || fail "no Morvane after 10 minutes"

# The driver goes onto Morvane's own display, so that whichever of the two makes the session's
# desktop makes it there.
environment=$(tr '\0' '\n' <"/proc/$pid/environ")
display=$(printf '%s\n' "$environment" | sed -n 's/^DISPLAY=//p')
xauthority=$(printf '%s\n' "$environment" | sed -n 's/^XAUTHORITY=//p')
[ -n "$display" ] || fail "Morvane runs without a display"
drive() {
  DISPLAY="$display" XAUTHORITY="$xauthority" "$WINE_LOADER" "$driver" "$1" \
    >>"$work/driver.log" 2>&1
}
drive started || fail "Morvane did not come up as a new user expects"
ls "$source_dir"/build/release/morvane-*-win32.msi >/dev/null ||
  fail "the run command left no 32-bit package in build/release"
echo "Morvane runs on $display with its first-run tip showing"

echo "== second run, while the first copy runs"
timeout 300 sh "$source_dir/scripts/run.sh" >"$work/second.log" 2>&1
status=$?
[ "$status" -eq 0 ] || fail "the second run ended with $status"
report=$(grep -c 'another copy already runs' "$work/second.log")
[ "$report" -eq 1 ] || fail "the second run reported its early end $report times, not once"
line='^Morvane ended [0-9]* seconds after it started, with exit code 0: either another copy'
line="$line already runs in .*, or there is no display for its window\.\$"
grep -q "$line" "$work/second.log" || fail "the second run's report is not the one line expected"
kill -0 "$pid" 2>/dev/null || fail "the first copy ended when the second run started"
grep 'another copy' "$work/second.log"

echo "== stopping the first copy"
drive stop || fail "the first copy did not end from its menu"
wait_for 60 ended "$first" || fail "the first run command went on after Morvane ended"
wait "$first"
status=$?
first=
[ "$status" -eq 0 ] || fail "the first run command ended with $status"
echo "PASS"
