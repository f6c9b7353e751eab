#!/usr/bin/env bash
# Takes the pictures of the operator's manual (doc/manual/pictures/) from the real windows, so
# that they show the program as it is: the program runs from a scratch folder on a virtual screen
# against kvz03-sim, xdotool works it as an operator would, and ImageMagick takes each window.
#
#   bash scripts/manual-screenshots.sh [BUILD_DIR] [SHOTS_DIR]
#
# BUILD_DIR (default build) holds KVZApp and kvz03-sim. The manual's pictures are written to
# doc/manual/pictures; a few more, of the manual window itself as F1 opens it, to SHOTS_DIR
# (default BUILD_DIR/manual-shots), to be looked at, not committed. Needs Xvfb, xdotool and
# ImageMagick (scripts/setup.sh installs them).
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
shots=$(realpath -m "${2:-$build/manual-shots}")
pictures=$PWD/doc/manual/pictures
mkdir -p "$pictures" "$shots"

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")

# The simulated detector takes its commands from a pipe the script keeps open.
port=$work/kvz03-port
mkfifo "$work/sim-in"
"$build/kvz03-sim" --link "$port" <"$work/sim-in" >"$work/sim-out" &
pids+=($!)
exec 3>"$work/sim-in"
sim() {
  echo "$*" >&3
  sleep 0.4
}
for _ in $(seq 50); do [ -e "$port" ] && break; sleep 0.1; done

# The information window names the folder: one named for the program, as an operator would make.
app=$work/KVZ-03
mkdir "$app"
cp "$build/KVZApp" "$app/KVZApp"
printf 'COMName=%s\r\nCOMSpeed=921600\r\nCOMByteSize=8\r\nCOMParity=0\r\nCOMStopBits=0\r\n' \
  "$port" >"$app/kvzport.ini"
"$app/KVZApp" 2>"$work/app.log" &
pids+=($!)

# The window whose title is exactly the text, once it is on screen.
window() {
  local id
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | tail -1) && [ -n "$id" ] &&
      { echo "$id"; return; }
    sleep 0.1
  done
  echo "no window \"$1\" on screen" >&2
  exit 1
}
# A window's picture as a small PNG of 256 colours.
shot() {
  sleep 0.5
  import -window "$1" "$work/shot.png"
  convert "$work/shot.png" ${3:+-resize "$3"} -colors 256 -strip "PNG8:$2"
  echo "$2"
}
# Clicks at a place inside a window, in the window's own pixels.
click() {
  xdotool mousemove --window "$1" "$2" "$3" click 1
  sleep 0.3
}
# Keys typed into a window, as from the keyboard.
key() {
  xdotool windowfocus --sync "$1"
  xdotool key "${@:2}"
  sleep 0.3
}
type_text() {
  xdotool type --delay 80 "$1"
  sleep 0.2
}

main=$(window "KVz - 03\\. Электрохимический детектор металлов\\. Версия .*")
xdotool windowmove "$main" 0 0
sleep 2  # the program connects 300 ms after start

# The command buttons' centres: a 172-pixel panel above the 25-pixel status line of a 463-pixel
# window, four buttons 167 pixels wide from 4, 174, 344 and 514.
buttons_y=352

sim mode e
sim work 1771 -200 4 e
shot "$main" "$pictures/main-expert.png"
sim mode y
sim work 412 -35 3 y
shot "$main" "$pictures/main.png"

# F1 in a window opens the manual at its section: a check shot of it, then the manual closed.
f1_shot() {
  key "$1" F1
  shot "$(window "Руководство оператора")" "$shots/$2.png"
  key "$(window "Руководство оператора")" Escape
}

click "$main" 87 $buttons_y
settings=$(window " Настройки")
shot "$settings" "$pictures/settings.png"
f1_shot "$settings" f1-settings
key "$settings" Escape

click "$main" 427 $buttons_y
protocol=$(window "Печать протокола измерений")
# The form opens on the item; Enter moves on to the next field, round to the place.
type_text "Кольцо"
key "$protocol" Return Down Down Return
type_text "Петров Пётр Петрович"
key "$protocol" Return
type_text "Паспорт"
key "$protocol" Return
type_text "4510 123456"
key "$protocol" Return
type_text "Ломбард, ул. Садовая, 12"
key "$protocol" Return
type_text "Иванова А.С."
key "$protocol" Return
shot "$protocol" "$pictures/protocol.png"
# "Печать..." stands at the left of the bottom row.
eval "$(xdotool getwindowgeometry --shell "$protocol")"
click "$protocol" 47 $((HEIGHT - 16))

preview=$(window "Протокол №[0-9]+")
xdotool windowsize "$preview" 760 800
xdotool windowmove "$preview" 0 0
sleep 0.5
click "$preview" 20 15  # "Страница целиком"
shot "$preview" "$pictures/preview.png" 75%
f1_shot "$preview" f1-preview
key "$preview" Escape

key "$main" ctrl+j
register=$(window "Журнал протоколов")
shot "$register" "$pictures/register.png"
f1_shot "$register" f1-register
key "$register" Escape

click "$main" 597 $buttons_y
about=$(window "Информация")
shot "$about" "$pictures/about.png"
click "$about" 576 359  # "Руководство оператора"
manual=$(window "Руководство оператора")
shot "$manual" "$shots/manual-about.png"
type_text "dialout"
shot "$manual" "$shots/manual-search.png"
key "$manual" Escape
key "$about" Escape
key "$main" F1
shot "$(window "Руководство оператора")" "$shots/f1-main.png"
