#!/usr/bin/env bash
# A frozen phone: after 40 packets it takes no more data. Every write gives up
# after its second, the program goes on (keep-alives), and SIGTERM ends it in
# under 3.5 s with exit code 0, while a write is waiting.
source "$(dirname "$0")/lib.sh"
start_xvfb
make_stream "$WORK/stream.h264" 320 568 2 0
run_program "capture+hang-out:after=40" "$WORK/stream.h264"
wait_until 30 "the phone to freeze" \
  '[[ $(grep -c ^bulk_write "$WORK/transcript.txt" 2>/dev/null) -gt 40 ]]'
# Writes that time out let the loop go on: keep-alives follow, each with its ping.
wait_until 20 "two keep-alives after the freeze" \
  '[[ $(sed "1,/^bulk_write/d" "$WORK/transcript.txt" | grep -c "^control 0x40 0x40") -ge 2 ]]'
stop_within 3.5
echo "PASS frozen phone: ended $STOP_S s after SIGTERM"
