#!/usr/bin/env bash
# Installs the Debian packages needed to build, run and test Vantrix; with
# --package, those needed to build and check its Debian package instead.
# Only packages that are missing are installed; uses sudo when not root.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-qpa-plugins libgl-dev libxcb1-dev
  llvm lld clang libclang-rt-14-dev
  fonts-liberation fonts-crosextra-carlito fonts-crosextra-caladea fonts-dejavu-core fonts-wine
  fonts-droid-fallback
  xvfb xauth xdotool xclip imagemagick x11-utils x11-xserver-utils
  openbox metacity python3 dbus dbus-x11 at-spi2-core python3-pyatspi appstream
  desktop-file-utils libxcb-xinput-dev clang-format qt6-translations-l10n valgrind
  sway xwayland wtype wl-clipboard grim qt6-wayland
)
if [ "${1:-}" = "--package" ]; then
  PACKAGES=(build-essential debhelper dpkg-dev lintian man-db xauth)
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
