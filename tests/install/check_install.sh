#!/usr/bin/env bash
# Installs into a temporary prefix and checks the layout: the program and its
# read-me in a folder of their own, the launcher, a valid desktop entry and
# the icons.
# usage: check_install.sh build-dir
set -euo pipefail
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$1" --prefix "$prefix" >/dev/null
for f in lib/vantrix/Vantrix lib/vantrix/LeesMij.txt bin/vantrix share/applications/vantrix.desktop \
         share/icons/hicolor/16x16/apps/vantrix.png share/icons/hicolor/32x32/apps/vantrix.png \
         share/icons/hicolor/48x48/apps/vantrix.png share/icons/hicolor/256x256/apps/vantrix.png; do
  [ -e "$prefix/$f" ] || { echo "FAIL: $f missing"; exit 1; }
done
[ "$(readlink -f "$prefix/bin/vantrix")" = "$(readlink -f "$prefix/lib/vantrix/Vantrix")" ] || { echo "FAIL: launcher"; exit 1; }
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/vantrix.desktop"
fi
echo "PASS: install layout"
