#!/usr/bin/env bash
# Installs, on a Debian 12 machine, everything the build, the tests and the
# screenshot need. Safe to run again: it only installs what is missing.
set -euo pipefail

# Each group is installed in one step, with a line saying which.
groups=(
  "build tools|cmake ninja-build python3"
  "the mingw-w64 cross compilers|g++-mingw-w64-i686-posix binutils-mingw-w64-i686 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64"
  "wine|wine wine32:i386 wine64"
  "the fonts wine draws the close box and the full-width signs with|fonts-wine fonts-wqy-microhei"
  "the virtual display and screenshots|xvfb xauth x11-apps x11-utils imagemagick"
  "GoogleTest|googletest"
)

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

missing=()
for group in "${groups[@]}"; do
  for p in ${group#*|}; do
    installed "$p" || missing+=("$p")
  done
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    echo "These Debian packages are missing: ${missing[*]}" >&2
    echo "Installing them needs root, and this machine has no sudo. Either run your command" >&2
    echo "again as root, or let root install them (su -c 'bash $0') and then run it again." >&2
    exit 1
  fi
  sudo="sudo"
fi

echo "Installing what the build and the tests need (a few minutes the first time)."
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "- adding the i386 architecture, for 32-bit wine"
  $sudo dpkg --add-architecture i386
fi
echo "- updating the package lists"
$sudo apt-get update -qq
for group in "${groups[@]}"; do
  todo=()
  for p in ${group#*|}; do
    installed "$p" || todo+=("$p")
  done
  [ ${#todo[@]} -eq 0 ] && continue
  echo "- installing ${group%%|*}: ${todo[*]}"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${todo[@]}" >/dev/null
done
