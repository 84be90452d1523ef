#!/usr/bin/env bash
# Creates a fresh wine prefix for one build tree, quietly and completely.
# Wine's own output goes to wineprefix.log beside the prefix; if the prefix
# cannot be made, the step that failed and the log's end are shown.
set -uo pipefail
. "$1"
log=$WINEPREFIX.log
fail() {
  echo "error: the wine prefix could not be made: $1. The end of wine's output ($log):" >&2
  tail -n 15 "$log" >&2
  exit 1
}
wine() { $WINE_NORANDOM "$WINELOADER" "$@" >>"$log" 2>&1; }

: >"$log"
"$WINESERVER" -k >>"$log" 2>&1
rm -rf "$WINEPREFIX" || fail "the old prefix could not be removed"
wine wineboot -i
"$WINESERVER" -w
[ -f "$WINEPREFIX/system.reg" ] || fail "wineboot made no registry"
# Without a window manager (bare Xvfb), managed windows stall when closed.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f || fail "reg add (Managed) failed"
# A program that crashes prints winedbg's backtrace and ends, instead of
# waiting behind winedbg's crash dialog until the test's time-out.
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f ||
  fail "reg add (ShowCrashDialog) failed"
# Wine draws the caption buttons with its Marlett font, which Debian's wine
# does not find in its own font folder; without it the close box is a letter.
ln -sf /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf" ||
  fail "wine's Marlett font could not be linked"
# The dialogs' and message boxes' fonts end in DejaVu Sans here, which lacks
# the full-width "！" and "，"; wine borrows missing signs only from the
# fonts linked to the one in use.
wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
  /v 'DejaVu Sans' /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f || fail "reg add (FontLink) failed"
"$WINESERVER" -w
touch "$WINEPREFIX/.ready"
