#!/usr/bin/env bash
# Builds the update benchmark in the build tree whose programs wine can run
# here and runs it under wine, printing the figures. Arguments go to the
# benchmark: --delays US,US,... (default 0,1000) --runs N --probes N --no-real
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
preset=$(scripts/runnable-preset.sh)
. scripts/build-tree.sh
build_tree "$preset" orv_bench wineprefix
build=$(pwd)/build/$preset
. "$build/wine-env"

echo "$(date -u '+%Y-%m-%d %H:%M UTC'); $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(nproc) cores;" \
     "$(uname -sr); $("$WINELOADER" --version); $preset build"
echo "load average: $(cut -d" " -f1-3 /proc/loadavg)"
rc=0
"$build/wine-run" "$build/bench/orv_bench.exe" "$@" || rc=$?
"$WINESERVER" -w
exit $rc
