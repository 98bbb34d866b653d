#!/usr/bin/env bash
# The window and the screenshot show the colours the stream describes, as
# FFmpeg converts them: BT.709 in limited and in full range.
source "$(dirname "$0")/lib.sh"
start_xvfb
mkdir -p "$WORK/saved"
for range in tv pc; do
  stream="$WORK/$range.h264"
  make_colour_stream "$stream" "$range"
  run_program capture "$stream" "$UDID" --save-dir "$WORK/saved"
  the_window
  wait_until 60 "the colours of BT.709 $range in the window" 'colours_shown "$window" "$stream.png"'
  xdotool windowfocus --sync "$window" key s
  wait_until 20 "the screenshot" '[[ $(ls "$WORK/saved" | grep -c "\.png$") == 1 ]]'
  close_program
  # The screenshot: the device's size, no channel of any pixel more than 3 levels off.
  [[ $(identify -format '%wx%h' "$WORK"/saved/*.png) == 320x240 ]] || fail "not at the device's size"
  peak=$({ compare -metric PAE "$WORK"/saved/*.png "$stream.png" null: 2>&1 || true; } | sed -E 's/.*\((.*)\).*/\1/')
  awk -v p="$peak" 'BEGIN { exit !(p * 255 <= 3.01) }' || fail "the screenshot of BT.709 $range is off by $peak"
  rm "$WORK"/saved/*.png
done
expect_no_protocol_errors
echo "PASS colours"
