#!/usr/bin/env bash
# --fullscreen fills the screen with the letter-boxed picture; Esc gives the
# window back, F11 and double-clicks toggle it; with no font the program says so
# once and runs on. Full screen under Xvfb needs a window manager: openbox. The
# phone goes away after 60 pictures and comes back 3 s later: the program finds
# it again on its own and the picture resumes.
source "$(dirname "$0")/lib.sh"
start_xvfb
openbox --sm-disable >"$WORK/openbox.log" 2>&1 &
make_stream "$WORK/stream.h264" 1170 2532 1 5
VELTRONA_FONT=/nonexistent/font.ttf run_program "capture+unplug:frames=60,replug_ms=3000" \
  "$WORK/stream.h264" "$UDID" --fullscreen
the_window
shown='picture_shown "$window" "$WORK/stream.h264.png"'
wait_until 60 "full screen from the start" "[[ \$(window_size \$window) == 1280x1024 ]] && $shown"
xdotool key --window "$window" Escape
wait_until 20 "the window back" "[[ \$(window_size \$window) == 900x650 ]] && $shown"
xdotool key --window "$window" F11
wait_until 20 "full screen by F11" "[[ \$(window_size \$window) == 1280x1024 ]] && $shown"
for size in 900x650 1280x1024; do
  xdotool mousemove --window "$window" 450 300 click --repeat 2 --delay 80 1
  wait_until 20 "$size by a double-click" "[[ \$(window_size \$window) == $size ]]"
done
wait_until 60 "a second connection" '[[ $(claims_made) -ge 2 ]]'
needs=$(needs_sent)
wait_until 60 "45 pictures asked for after it" '[[ $(needs_sent) -ge $((needs + 45)) ]]'
wait_until 60 "the picture after the unplug" "$shown"
[[ $(grep -c 'no font' "$WORK/stderr.txt") == 1 ]] || fail "not one line about the font"
close_program
expect_no_protocol_errors
echo "PASS full screen: --fullscreen, Esc, F11, double-click; no font; device back after 3 s"
