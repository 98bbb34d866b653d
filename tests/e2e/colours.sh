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
  window=$(window_id)
  [[ -n $window ]] || fail "no window"
  wait_until 60 "the colours of BT.709 $range in the window" 'colours_shown "$window" "$stream.png"'
  xdotool windowfocus --sync "$window" key s
  wait_until 20 "the screenshot" '[[ $(ls "$WORK/saved" | grep -c "\.png$") == 1 ]]'
  close_program
  same_within_3 "$WORK"/saved/*.png "$stream.png" || fail "the screenshot of BT.709 $range is not FFmpeg's picture"
  rm "$WORK"/saved/*.png
done
expect_no_protocol_errors
echo "PASS colours"
