#!/usr/bin/env bash
# Runs the test suite of one build tree under one X display and one warm
# wineserver, then ends wine so nothing holds the pipes or the display.
# Usage: scripts/run-tests.sh <build dir> [ctest arguments...]
set -uo pipefail
build=$(cd "$1" && pwd); shift
. "$build/wine-env"
# Wine and every program it starts run without address-space randomisation
# where the machine allows it (see cmake/wine-run.in); one test at a time
# per processor, at most 8 (a container's CPU quota does not show in nproc,
# and one wineserver and one display serve them all).
xvfb-run -a -s '-screen 0 1024x768x24' ${WINE_NORANDOM:-} bash -c '
  build=$1; shift
  "$WINESERVER" -p
  "$WINELOADER" wineboot >/dev/null 2>&1
  jobs=$(nproc); [ "$jobs" -gt 8 ] && jobs=8
  ctest --test-dir "$build" -j "$jobs" --timeout 120 --output-on-failure "$@" > "$build/ctest.log" 2>&1
  rc=$?
  "$WINESERVER" -k 2>/dev/null
  "$WINESERVER" -w
  [ $rc -eq 0 ] || echo "The whole output of the tests: $build/ctest.log"
  grep -vE "^\s*$|^Test project|^\s+Start |^Total Test time|^Internal ctest changing|^Errors while running CTest" "$build/ctest.log" | grep -vE "Test +#[0-9]+: .* Passed" | tail -n 60
  exit $rc
' _ "$build" "$@"
