#!/usr/bin/env bash
# Runs the whole test suite of one build tree under one X display and one
# warm wineserver, then ends wine so nothing holds the pipes or the display.
set -uo pipefail
preset=$1
build=build/$preset
xvfb-run -a -s '-screen 0 1024x768x24' bash -c '
  . "$1/wine-env"
  "$WINESERVER" -p
  "$WINELOADER" wineboot >/dev/null 2>&1
  ctest --preset "$2" 2>&1 > "$1/ctest.log"
  rc=$?
  "$WINESERVER" -k 2>/dev/null
  "$WINESERVER" -w
  grep -v "^\s*$" "$1/ctest.log" | grep -vE "^(Test project|\s+Start|Total Test time)" | tail -n 40
  exit $rc
' _ "$build" "$preset"
