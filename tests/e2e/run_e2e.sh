#!/usr/bin/env bash
# End to end, as a user would: starts the real program on an X server and
# drives it with real X input (xdotool), reading the clipboard with xclip.
#
# usage: run_e2e.sh path/to/Vantrix
# Exit 77 (skipped) only when no X server can be started here.
set -euo pipefail

program=$(readlink -f "$1")
here=$(cd "$(dirname "$0")" && pwd)

if [ -z "${VANTRIX_E2E_INNER:-}" ]; then
  for tool in xvfb-run xdotool xclip convert; do
    if ! command -v "$tool" >/dev/null; then
      echo "SKIP: $tool is not installed, so no X session can be driven here"
      exit 77
    fi
  done
  if ! xvfb-run -a -s "-screen 0 1280x800x24" true 2>/dev/null; then
    echo "SKIP: no X server could be started (xvfb-run failed)"
    exit 77
  fi
  export VANTRIX_E2E_INNER=1
  exec xvfb-run -a -s "-noreset -screen 0 1280x800x24" "$0" "$@"
fi

work=$(mktemp -d)
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  echo "--- program output:"
  tail -n 80 "$work/out.log" 2>/dev/null || true
  import -window root "$work/failure.png" 2>/dev/null && cp "$work/failure.png" "${VANTRIX_E2E_SHOTS:-/tmp}/vantrix-e2e-failure.png" || true
  exit 1
}

# A copy of the program in a folder of its own: its settings file lands there.
cp "$program" "$work/Vantrix"
picture="$work/Plaatje met spaties.bmp"
convert -size 200x150 xc:white -fill '#0000ff' -draw 'rectangle 0,100 199,101' -type TrueColor "BMP3:$picture"

unset QT_QPA_PLATFORM
export QT_LOGGING_RULES="qt.qpa.*=false"
"$work/Vantrix" > "$work/out.log" 2>&1 &
app_pid=$!

win=$(xdotool search --sync --onlyvisible --name '^Vantrix 1\.3\.0$' | head -n 1)
[ -n "$win" ] || fail "the main window did not appear"
sleep 1
xdotool windowfocus --sync "$win" || true

eval "$(xdotool getwindowgeometry --shell "$win")"
# The client area (below the menu bar) is 614 x 404.
client_top=$((HEIGHT - 404))
[ "$WIDTH" -eq 614 ] || fail "main window is $WIDTH wide, not 614"

# Waits until the main window is the program's only visible window again,
# so that input reaches it and not a modal dialog that is still closing.
wait_main_alone() {
  for _ in $(seq 100); do
    if [ "$(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | wc -l)" -le 1 ]; then
      sleep 0.3
      return 0
    fi
    sleep 0.1
  done
  fail "a dialog stayed open: $(for w in $(xdotool search --onlyvisible --pid "$app_pid"); do printf "[%s %s %s] " "$w" "$(xdotool getwindowname "$w")" "$(xdotool getwindowgeometry "$w" | tr "\\n" " ")"; done)"
}

click_client() { # x y [button]
  xdotool mousemove --window "$win" "$1" $(("$2" + client_top))
  sleep 0.2
  xdotool click "${3:-1}"
  sleep 0.3
}

# Names into both lists; the text cursor stays on the last line typed.
click_client 60 100
xdotool type --delay 40 "S1"
click_client 60 300
xdotool type --delay 40 "Q4"

# Open the picture by typing its path into the dialog.
xdotool key --clearmodifiers ctrl+o
# The dialog opens with the focus in its file name field.
sleep 1
xdotool key --clearmodifiers ctrl+a
xdotool type --delay 10 "$picture"
# The file name completer may take the first Return; the dialog the next.
for _ in 1 2 3; do
  sleep 0.5
  xdotool key Return
  sleep 0.5
  [ "$(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | wc -l)" -le 1 ] && break
done
wait_main_alone
sleep 1.5 # past the one second in which clicks are ignored

# The picture sits at the top left of the picture area, inside its border.
pic_x=207
pic_y=33
click_client 60 100 # Ingangen active, cursor on "S1"
click_client $((pic_x + 30)) $((pic_y + 20))
click_client 60 300 # Uitgangen active, cursor on "Q4"
click_client $((pic_x + 50)) $((pic_y + 40)) 3 # the right button counts too
sleep 0.5

# Copy the output list and read the desktop's clipboard.
click_client $((592 + 10)) $((269 + 10))
sleep 0.5
clip=$(xclip -o -selection clipboard)
# The X part is padded to the X template's length plus 16.
expected="$(printf '%-34s%s\n%-34s%s' '   X_is[S1]= 30;' 'Y_is[S1]= 20;' '   X_us[Q4]= 50;' 'Y_us[Q4]= 40;')"
[ "$clip" = "$expected" ] || fail "clipboard holds [$clip]"

# Change the input X template in the settings dialog.
click_client $((80 + 12)) $((3 + 12))
xdotool search --sync --onlyvisible --name '^Instellingen$' >/dev/null || fail "settings dialog did not open"
sleep 0.5
xdotool key --clearmodifiers ctrl+a
xdotool type --delay 20 'IN(@@1)=@@2;'
xdotool key Return
wait_main_alone

click_client 60 100
click_client $((pic_x + 7)) $((pic_y + 9))
click_client $((592 + 10)) $((269 + 10))
sleep 0.5
last=$(xclip -o -selection clipboard | tail -n 1)
expected_last="$(printf '%-28s%s' 'IN(S1)=7;' 'Y_is[S1]= 9;')"
[ "$last" = "$expected_last" ] || fail "last line is [$last]"

# Close with Alt+F4; the settings file holds the edited template.
xdotool key --clearmodifiers alt+F4
for _ in $(seq 50); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$app_pid" 2>/dev/null; then fail "the program did not end after Alt+F4"; fi
status=0
wait "$app_pid" || status=$?
app_pid=""
[ "$status" -eq 0 ] || fail "exit code $status"

ini="$work/Vantrix.ini"
[ -f "$ini" ] || fail "no settings file written"
expected_ini=$'[Vantrix settings]\r\n\r\n[**General variables**]\r\nSettingsfileversion=100\r\nInX=IN(@@1)=@@2;\r\nInY=Y_is[@@1]= @@2;\r\nOutX=   X_us[@@1]= @@2;\r\nOutY=Y_us[@@1]= @@2;\r\n'
[ "$(cat "$ini"; echo x)" = "${expected_ini}x" ] || fail "settings file is: $(od -c "$ini" | head -20)"

echo "PASS: typed names, opened a picture, captured with both lists, copied, edited a template, closed"
