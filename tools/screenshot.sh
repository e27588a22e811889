#!/usr/bin/env bash
# Makes docs/screenshot.png: the main window with a picture, names in both
# lists and captured lines, on a virtual X server driven by xdotool.
# usage: tools/screenshot.sh [build/Vantrix]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
program=$(readlink -f "${1:-$root/build/Vantrix}")
if [ -z "${VANTRIX_SHOT_INNER:-}" ]; then
  export VANTRIX_SHOT_INNER=1
  exec xvfb-run -a -s "-noreset -screen 0 1280x800x24" "$0" "$program"
fi
work=$(mktemp -d)
trap 'kill $pid 2>/dev/null || true; rm -rf "$work"' EXIT
cp "$program" "$work/Vantrix"
unset QT_QPA_PLATFORM
"$work/Vantrix" >/dev/null 2>&1 &
pid=$!
win=$(xdotool search --sync --onlyvisible --name '^Vantrix 1\.3\.0$' | head -n 1)
sleep 1
eval "$(xdotool getwindowgeometry --shell "$win")"
top=$((HEIGHT - 404))
at() { xdotool mousemove --window "$win" "$1" $(("$2" + top)); sleep 0.2; }
click() { at "$1" "$2"; xdotool click 1; sleep 0.3; }
lines() { local first=1; for l in "$@"; do [ $first -eq 1 ] || xdotool key Return; xdotool type --delay 30 "$l"; first=0; done; }
click 60 100
lines Motor_A Motor_B Sensor_1
click 60 300
lines Lamp_rood Lamp_groen
click $((55 + 12)) $((3 + 12)) # flash off: a metafile cannot be painted on
xdotool key --clearmodifiers ctrl+o
sleep 1
xdotool key --clearmodifiers ctrl+a
xdotool type --delay 5 "$root/tests/data/metafiles/lo-chart.emf"
xdotool key Return
sleep 1.5
click 60 70 # Motor_A
click $((207 + 68)) $((33 + 189))
click 60 83 # Motor_B
click $((207 + 128)) $((33 + 189))
click 60 96 # Sensor_1
click $((207 + 188)) $((33 + 189))
click 60 243 # Lamp_rood
click $((207 + 248)) $((33 + 189))
click 60 256 # Lamp_groen
click $((207 + 30)) $((33 + 12))
at $((207 + 255)) $((33 + 150))
sleep 0.5
import -window "$win" "$root/docs/screenshot.png"
echo "wrote docs/screenshot.png"
