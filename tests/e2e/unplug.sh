#!/usr/bin/env bash
# The device goes away mid-stream and comes back 3 s later: the program finds
# it again on its own and the picture resumes.
source "$(dirname "$0")/lib.sh"
start_xvfb
make_stream "$WORK/stream.h264" 1170 2532 1 5
run_program "capture+unplug:frames=60,replug_ms=3000" "$WORK/stream.h264"
the_window
wait_until 60 "a second connection" '[[ $(claims_made) -ge 2 ]]'
needs=$(needs_sent)
wait_until 60 "45 pictures asked for after it" '[[ $(needs_sent) -ge $((needs + 45)) ]]'
wait_until 60 "the picture" 'picture_shown "$window" "$WORK/stream.h264.png"'
close_program
expect_no_protocol_errors
echo "PASS device back after 3 s, picture resumed"
