#!/usr/bin/env bash
# The window shows the device's picture letter-boxed, at the start size and
# after a resize; the picture is portrait or landscape (the argument).
source "$(dirname "$0")/lib.sh"
if [[ $1 == portrait ]]; then size=(1170 2532); else size=(2532 1170); fi
start_xvfb
# A second of moving picture, then five of a still one; the device loops.
make_stream "$WORK/stream.h264" "${size[@]}" 1 5
run_program capture "$WORK/stream.h264"
the_window
wait_until 60 "the picture at the start size" 'picture_shown "$window" "$WORK/stream.h264.png"'
xdotool windowsize "$window" 640 720
wait_until 60 "the picture at 640x720" \
  '[[ $(window_size "$window") == 640x720 ]] && picture_shown "$window" "$WORK/stream.h264.png"'
close_program
expect_no_protocol_errors
echo "PASS picture $1"
