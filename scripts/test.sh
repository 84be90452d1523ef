#!/usr/bin/env bash
# From a fresh clone: installs what is missing, builds the 32-bit program and
# every test, and runs the tests under wine. The last line is ctest's summary.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
arch=$(scripts/wine-arch.sh)

# The shipped program and its tests are always built for 32-bit Windows.
cmake --preset win32 >/dev/null
cmake --build --preset win32
preset=win32
if [ "$arch" = x86_64 ]; then
  echo "This kernel cannot run 32-bit code: running the tests as 64-bit Windows programs under wine64."
  cmake --preset win64 >/dev/null
  cmake --build --preset win64
  preset=win64
fi
exec scripts/run-tests.sh "build/$preset"
