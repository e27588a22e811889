#!/usr/bin/env bash
# Installs into a temporary prefix and checks the layout: the program and its
# read-me in a folder of their own, the launcher, a valid desktop entry, a
# valid AppStream description and the icons.
# usage: check_install.sh build-dir
set -euo pipefail
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$1" --prefix "$prefix" >/dev/null
metainfo=share/metainfo/org.example.vantrix.Vantrix.metainfo.xml
for f in lib/vantrix/Vantrix lib/vantrix/LeesMij.txt bin/vantrix share/applications/vantrix.desktop "$metainfo" \
         share/man/man1/vantrix.1 \
         share/icons/hicolor/16x16/apps/vantrix.png share/icons/hicolor/32x32/apps/vantrix.png \
         share/icons/hicolor/48x48/apps/vantrix.png share/icons/hicolor/256x256/apps/vantrix.png; do
  [ -e "$prefix/$f" ] || { echo "FAIL: $f missing"; exit 1; }
done
[ "$(readlink -f "$prefix/bin/vantrix")" = "$(readlink -f "$prefix/lib/vantrix/Vantrix")" ] || { echo "FAIL: launcher"; exit 1; }
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/vantrix.desktop"
fi
if command -v appstreamcli >/dev/null; then
  # Offline: the screenshot's address is not fetched here.
  (cd "$prefix" && appstreamcli validate --no-net --strict "$prefix/$metainfo")
  # The description names the desktop entry that is installed beside it.
  grep -q '<launchable type="desktop-id">vantrix.desktop</launchable>' "$prefix/$metainfo" \
    || { echo "FAIL: metainfo launches no vantrix.desktop"; exit 1; }
fi
echo "PASS: install layout"
