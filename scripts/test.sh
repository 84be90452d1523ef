#!/usr/bin/env bash
# From a fresh clone: installs what is missing, builds the 32-bit program and
# every test, and runs the tests under wine. The last line is ctest's summary.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
preset=$(scripts/runnable-preset.sh)

# Builds one preset quietly; on failure shows the end of the build's output.
build() {
  mkdir -p build
  local log=build/$1-build.log
  echo "Building the $1 tree (log: $log)"
  if ! { cmake --preset "$1" && cmake --build --preset "$1"; } >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "The $1 build failed." >&2
    exit 1
  fi
}

# The shipped program and its tests are always built for 32-bit Windows.
build win32
if [ "$preset" = win64 ]; then
  echo "This kernel cannot run 32-bit code: the tests run as 64-bit Windows programs under wine64."
  build win64
fi
echo "Running the tests under wine (Xvfb)"
exec scripts/run-tests.sh "build/$preset"
