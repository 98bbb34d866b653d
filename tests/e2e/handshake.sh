#!/usr/bin/env bash
# The phone's first request is lost on the way (chaos seed 5 drops its second
# transfer, the cwpa): the handshake stalls, the host gives it up after 5 s,
# resets the device and connects again, and pictures flow.
source "$(dirname "$0")/lib.sh"
start_xvfb
make_stream "$WORK/stream.h264" 320 568 2 0
run_program "capture+chaos:seed=5,from=2,to=2,rate=1" "$WORK/stream.h264"
wait_until 30 "the damage" 'chaos_ended'
grep -q '^chaos 2 drop$' "$WORK/transcript.txt" || fail "the cwpa was not the transfer dropped"
[[ $(needs_sent) == 0 ]] || fail "pictures before the handshake could end"
wait_until 20 "a second connection" '[[ $(claims_made) -ge 2 ]]'
grep -q '^reset$' "$WORK/transcript.txt" || fail "no reset before the second connection"
wait_until 20 "pictures" '[[ $(needs_sent) -ge 30 ]]'
close_program
echo "PASS handshake given up and made again"
