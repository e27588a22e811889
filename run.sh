#!/usr/bin/env bash
# Installs what is missing, builds Vantrix and starts it.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --target Vantrix
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run.sh: no display is set (DISPLAY or WAYLAND_DISPLAY), so the window cannot be shown." >&2
  echo "run.sh: start it on a desktop, or under a virtual X server:" >&2
  echo "        xvfb-run -a -s '-noreset -screen 0 1280x800x24' build/Vantrix" >&2
  exit 1
fi
exec build/Vantrix
