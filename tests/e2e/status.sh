#!/usr/bin/env bash
# With no picture the window says what the program does: searching for the
# UDID, and after 5 s why it may not be found (here: a device with another
# UDID); once the picture shows, nothing is drawn over it. Without the font the program still runs and says so once. An option
# it does not know is said on standard error and in the window.
source "$(dirname "$0")/lib.sh"
start_xvfb

# lit <window> <WxH+X+Y>: whether anything in that part of the window is not black.
lit() {
  import -window "$1" "$WORK/lit.png" &&
    [[ $(convert "$WORK/lit.png" -crop "$2" +repage -format '%[fx:maxima]' info:) != 0 ]]
}

SERIAL=00008101000A1B2C3D4E5F61  # the device on the bus is another one
run_program cold "" "$UDID" --no-audo
window=$(window_id)
[[ -n $window ]] || fail "no window"
# 900x650: the status line sits just above the middle, the hint just below it.
wait_until 10 "the status line" 'lit "$window" 800x40+50+280'
lit "$window" 800x40+50+330 && fail "a hint before 5 s of searching"
wait_until 15 "the hint line" 'lit "$window" 800x40+50+330'
grep -qx 'Opción desconocida, ignorada: --no-audo' "$WORK/stderr.txt" ||
  fail "the unknown option is not on standard error"
close_program

# The device found: the status while it is switched on, then the picture with
# nothing over it and the bars black.
SERIAL=00008101000A1B2C3D4E5F60
make_stream "$WORK/stream.h264" 320 240 1 2
run_program cold "$WORK/stream.h264"
window=$(window_id)
wait_until 10 "the status while activating" 'lit "$window" 800x40+50+280'
wait_until 60 "the picture alone" 'picture_shown "$window" "$WORK/stream.h264.png"'
close_program

# No font: one line on standard error, a black window, and the program runs on.
VELTRONA_FONT=/nonexistent/font.ttf run_program capture "$WORK/stream.h264"
window=$(window_id)
wait_until 60 "the picture without a font" 'picture_shown "$window" "$WORK/stream.h264.png"'
[[ $(grep -c 'no font' "$WORK/stderr.txt") == 1 ]] || fail "not one line about the font"
close_program
echo "PASS status while searching, its hint, no font, an unknown option"
