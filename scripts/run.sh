#!/usr/bin/env bash
# From a fresh clone: installs what is missing, builds ORV_update.exe and
# starts it under wine: on this desktop's display when there is one (the tool
# runs until you close it), else on a virtual display (Xvfb), where it is
# closed once its window has been photographed. Either way a screenshot of
# the window is saved as build/screenshot.png.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
preset=$(scripts/runnable-preset.sh)
. scripts/build-tree.sh
if [ "$preset" = win64 ]; then
  echo "This kernel cannot run 32-bit code: the tool runs as a 64-bit Windows program under wine64."
fi
build_tree "$preset" ORV_update wineprefix
build=$(pwd)/build/$preset
exe=$build/app/ORV_update.exe
shot=$(pwd)/build/screenshot.png
echo "Built $exe"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  echo "Starting ORV_update on display $DISPLAY; close its window to end."
  scripts/show-window.sh "$build" "$shot" until-closed
else
  echo "No display: starting ORV_update on a virtual display (Xvfb)."
  xvfb-run -a -s '-screen 0 1024x768x24' scripts/show-window.sh "$build" "$shot"
fi
