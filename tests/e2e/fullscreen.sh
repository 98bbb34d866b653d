#!/usr/bin/env bash
# F11 fills the screen with the letter-boxed picture and Esc gives the window
# back; so does a double-click, twice; --fullscreen starts that way. Under
# Xvfb full screen needs a window manager that honours it: openbox.
source "$(dirname "$0")/lib.sh"
start_xvfb
openbox --sm-disable >"$WORK/openbox.log" 2>&1 &

# size_is <window> <w> <h>
size_is() {
  [[ $(xwininfo -id "$1" | awk '/Width:/ {w = $2} /Height:/ {h = $2} END {print w "x" h}') == "$2x$3" ]]
}

make_stream "$WORK/stream.h264" 1170 2532 1 5
run_program capture "$WORK/stream.h264"
window=$(window_id)
[[ -n $window ]] || fail "no window"
wait_until 60 "the picture in the window" 'picture_shown "$window" "$WORK/stream.h264.png"'
xdotool key --window "$window" F11
wait_until 20 "full screen" 'size_is "$window" 1280 1024 && picture_shown "$window" "$WORK/stream.h264.png"'
xdotool key --window "$window" Escape
wait_until 20 "the window back" 'size_is "$window" 900 650 && picture_shown "$window" "$WORK/stream.h264.png"'
xdotool mousemove --window "$window" 450 300 click --repeat 2 --delay 80 1
wait_until 20 "full screen by a double-click" 'size_is "$window" 1280 1024'
xdotool mousemove --window "$window" 450 300 click --repeat 2 --delay 80 1
wait_until 20 "the window back by a double-click" 'size_is "$window" 900 650'
close_program

run_program capture "$WORK/stream.h264" "$UDID" --fullscreen
window=$(window_id)
wait_until 20 "full screen from the start" 'size_is "$window" 1280 1024 && picture_shown "$window" "$WORK/stream.h264.png"'
close_program
echo "PASS full screen: F11, Esc, double-click, --fullscreen"
