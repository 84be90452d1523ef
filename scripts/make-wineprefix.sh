#!/usr/bin/env bash
# Creates a fresh wine prefix for one build tree, quietly and completely.
set -euo pipefail
. "$1"
"$WINESERVER" -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
"$WINELOADER" wineboot -i >/dev/null 2>&1 || true
"$WINESERVER" -w
# Without a window manager (bare Xvfb), managed windows stall when closed.
"$WINELOADER" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
"$WINESERVER" -w
[ -f "$WINEPREFIX/system.reg" ] || { echo "wine prefix creation failed" >&2; exit 1; }
touch "$WINEPREFIX/.ready"
