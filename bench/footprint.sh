#!/bin/sh
# Runs the footprint benchmark in a fresh Wine prefix of its own, so that it never meets a test
# run's, and stops that prefix's server however the benchmark ends.
#   footprint.sh SOURCE_DIR PREFIX DRIVER [STARTS]
source_dir=$1
prefix=$2
driver=$3
shift 3
sh "$source_dir/cmake/wine-prefix.sh" up "$prefix" || exit 1
MORVANE_WINEPREFIX="$prefix" sh "$source_dir/cmake/wine-run.sh" "$driver" "$@"
status=$?
sh "$source_dir/cmake/wine-prefix.sh" down "$prefix"
exit $status
