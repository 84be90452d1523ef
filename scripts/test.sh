#!/usr/bin/env bash
# From a fresh clone: installs what is missing, builds the 32-bit program and
# every test, and runs the tests under wine. The output ends with ctest's
# summary: the share of tests passed, and the tests that failed if any did.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
preset=$(scripts/runnable-preset.sh)
. scripts/build-tree.sh

# The shipped program and its tests are always built for 32-bit Windows.
build_tree win32
if [ "$preset" = win64 ]; then
  echo "This kernel cannot run 32-bit code: the tests run as 64-bit Windows programs under wine64."
  build_tree win64
fi
echo "Running the tests under wine (Xvfb)"
exec scripts/run-tests.sh "build/$preset"
