#!/usr/bin/env bash
# The last picture of a stream is on screen as soon as its sample has come,
# both when the phone then sends nothing more (its screen stands still) and
# when it goes away (then above the band that says so).
source "$(dirname "$0")/lib.sh"
start_xvfb
# Thirty moving pictures, then one of another kind: the one to be seen.
make_stream "$WORK/stream.h264" 1170 2532 1 0.03
for scenario in capture+still "capture+unplug:frames=31"; do
  run_program "$scenario" "$WORK/stream.h264"
  window=$(window_id)
  band=$([[ $scenario == *unplug* ]] && echo band || true)
  wait_until 60 "the last picture ($scenario)" 'picture_shown "$window" "$WORK/stream.h264.png" $band'
  close_program
  expect_no_protocol_errors
done
echo "PASS last picture shown with still and after an unplug"
