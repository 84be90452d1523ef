#!/usr/bin/env bash
# Runs the test suite of one build tree under one X display and one warm
# wineserver, then ends wine so nothing holds the pipes or the display.
# Usage: scripts/run-tests.sh <build dir> [ctest arguments...]
set -uo pipefail
build=$(cd "$1" && pwd); shift
xvfb-run -a -s '-screen 0 1024x768x24' bash -c '
  build=$1; shift
  . "$build/wine-env"
  "$WINESERVER" -p
  "$WINELOADER" wineboot >/dev/null 2>&1
  # The window tests of parallel programs share one display and one
  # wineserver; a test that fails once gets one more run, and its first
  # failure stays in the output above the summary.
  ctest --test-dir "$build" -j 8 --timeout 120 --output-on-failure --repeat until-pass:2 "$@" > "$build/ctest.log" 2>&1
  rc=$?
  "$WINESERVER" -k 2>/dev/null
  "$WINESERVER" -w
  grep -vE "^\s*$|^Test project|^\s+Start |^Total Test time|^Internal ctest changing" "$build/ctest.log" | grep -vE "Test +#[0-9]+: .* Passed" | tail -n 60
  exit $rc
' _ "$build" "$@"
