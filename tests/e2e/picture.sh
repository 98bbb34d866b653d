#!/usr/bin/env bash
# The window shows the device's picture letter-boxed: portrait or landscape,
# at the start size and after a resize.
source "$(dirname "$0")/lib.sh"
orientation=$1
if [[ $orientation == portrait ]]; then width=1170 height=2532; else width=2532 height=1170; fi

start_xvfb
# One second of moving picture, then a still one for long enough that the
# screenshots fall into it (frames 30 to 180; the device loops after that).
make_stream "$WORK/stream.h264" "$width" "$height" 1 5
last_picture "$WORK/stream.h264" "$WORK/still.png"

run_program capture "$WORK/stream.h264"
window=$(window_id)
[[ -n "$window" ]] || fail "no window"
wait_for_needs 45 60
screenshot "$window" "$WORK/shot.png"
read -r cw ch < <(xwininfo -id "$window" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w, h }')
expect_picture "$WORK/shot.png" "$WORK/still.png" "$cw" "$ch"

xdotool windowsize "$window" 640 720
sleep 1
screenshot "$window" "$WORK/resized.png"
expect_picture "$WORK/resized.png" "$WORK/still.png" 640 720
[[ $(needs_sent) -lt 170 ]] || fail "the screenshots came too late to show the still picture"

close_program 10
[[ $EXIT_CODE == 0 ]] || fail "exit code $EXIT_CODE"
expect_no_protocol_errors
echo "PASS picture $orientation"
