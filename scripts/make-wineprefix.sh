#!/usr/bin/env bash
# Creates a fresh wine prefix for one build tree, quietly and completely.
set -euo pipefail
. "$1"
# No address-space randomisation, as for every wine program of the tree
# (see cmake/wine-run.in).
wine() { setarch -R "$WINELOADER" "$@" >/dev/null 2>&1; }

"$WINESERVER" -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
wine wineboot -i || true
"$WINESERVER" -w
# Without a window manager (bare Xvfb), managed windows stall when closed.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
# A program that crashes prints winedbg's backtrace and ends, instead of
# waiting behind winedbg's crash dialog until the test's time-out.
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f
# Wine draws the caption buttons with its Marlett font, which Debian's wine
# does not find in its own font folder; without it the close box is a letter.
ln -sf /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf"
# The dialogs' and message boxes' fonts end in DejaVu Sans here, which lacks
# the full-width "！" and "，"; wine borrows missing signs only from the
# fonts linked to the one in use.
wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
  /v 'DejaVu Sans' /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f
"$WINESERVER" -w
[ -f "$WINEPREFIX/system.reg" ] || { echo "wine prefix creation failed" >&2; exit 1; }
touch "$WINEPREFIX/.ready"
