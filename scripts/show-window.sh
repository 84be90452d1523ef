#!/usr/bin/env bash
# Starts ORV_update.exe of a build tree under wine on the current display and
# photographs its window. Usage: show-window.sh <build dir> <shot.png> [until-closed]
# With until-closed (a desktop) the tool runs until its window is closed, as
# a window the desktop's window manager manages; Ctrl-C ends it and wine.
set -uo pipefail
build=$1 shot=$2 mode=${3:-}
. "$build/wine-env"

stop() {
  "$WINESERVER" -k 2>/dev/null
  "$WINESERVER" -w
}
trap 'stop; exit 130' INT TERM

# The prefix leaves windows unmanaged for Xvfb, which has no window manager;
# on a desktop the tool's window is managed like any other.
managed=N
[ "$mode" = until-closed ] && managed=Y
"$WINESERVER" -p 2>/dev/null || true
"$build/wine-run" reg add 'HKCU\Software\Wine\AppDefaults\ORV_update.exe\X11 Driver' \
  /v Managed /d "$managed" /f >/dev/null 2>&1

"$build/wine-run" "$build/app/ORV_update.exe" &
tool=$!
id=""
for _ in $(seq 1 60); do
  id=$(xwininfo -root -tree 2>/dev/null | awk '/"Kelto Vend9/ {print $1; exit}')
  [ -n "$id" ] && break
  sleep 0.5
done
if [ -n "$id" ]; then
  sleep 1
  import -window "$id" "$shot" && echo "Screenshot of the window: $shot"
else
  echo "The window did not appear." >&2
fi
[ "$mode" = until-closed ] && wait "$tool"
stop
