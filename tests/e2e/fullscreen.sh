#!/usr/bin/env bash
# --fullscreen starts with the letter-boxed picture filling the screen; Esc
# gives the window back, F11 fills the screen again, and a double-click
# toggles it twice; with no font the program says so once and runs on. Under
# Xvfb full screen needs a window manager that honours it: openbox.
source "$(dirname "$0")/lib.sh"
start_xvfb
openbox --sm-disable >"$WORK/openbox.log" 2>&1 &

# size_is <window> <w> <h>
size_is() {
  [[ $(xwininfo -id "$1" | awk '/Width:/ {w = $2} /Height:/ {h = $2} END {print w "x" h}') == "$2x$3" ]]
}

make_stream "$WORK/stream.h264" 1170 2532 1 5
VELTRONA_FONT=/nonexistent/font.ttf run_program capture "$WORK/stream.h264" "$UDID" --fullscreen
the_window
shown='picture_shown "$window" "$WORK/stream.h264.png"'
wait_until 60 "full screen from the start" "size_is \"\$window\" 1280 1024 && $shown"
xdotool key --window "$window" Escape
wait_until 20 "the window back" "size_is \"\$window\" 900 650 && $shown"
xdotool key --window "$window" F11
wait_until 20 "full screen by F11" "size_is \"\$window\" 1280 1024 && $shown"
for size in "900 650" "1280 1024"; do
  xdotool mousemove --window "$window" 450 300 click --repeat 2 --delay 80 1
  wait_until 20 "$size by a double-click" "size_is \"\$window\" $size"
done
[[ $(grep -c 'no font' "$WORK/stderr.txt") == 1 ]] || fail "not one line about the font"
close_program
echo "PASS full screen: --fullscreen, Esc, F11, double-click; no font"
