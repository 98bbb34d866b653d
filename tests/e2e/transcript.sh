#!/usr/bin/env bash
# The host's whole side of a run, in order, as the device recorded it: cold
# start with the mode switch, the start of the stream, one NEED per picture,
# and the stop sequence.
source "$(dirname "$0")/lib.sh"

start_xvfb
make_stream "$WORK/stream.h264" 320 568 2 0
run_program cold "$WORK/stream.h264"
wait_for_needs 40 60
close_program 10
[[ $EXIT_CODE == 0 ]] || fail "exit code $EXIT_CODE"
expect_no_protocol_errors

words=$(transcript_words)
echo "transcript: $(echo "$words" | cut -c1-200) ..."
# Mode-on and close, then the capture configuration and interface; the
# device's ping answered; two display announcements, the CWPA reply, the audio
# announcement; the AFMT reply; NEED before the CVRP reply; the CLOK and TIME
# replies; then NEEDs (with ping answers and SKEW replies among them); at the
# end mode-off while the interface is claimed, then close.
start='^mode-on close set-config claim ping hpd1 hpd1 rply:28 hpa1 rply:62 need rply:28 rply:28 rply:44 '
[[ $words =~ $start ]] || fail "the start of the stream is out of order"
body=${words#*rply:44 }
body=${body% mode-off close }
[[ $words =~ mode-off\ close\ $ ]] || fail "the run does not end with mode-off and close"
for word in $body; do
  case $word in need | ping | rply:28 | rply:24 | keep-alive) ;; *) fail "unexpected '$word' while streaming" ;; esac
done
# Every NEED carries the same bytes: the clock reference of the CVRP request.
[[ $(grep -E "$NEED_PATTERN" "$WORK/transcript.txt" | sort -u | wc -l) == 1 ]] ||
  fail "the NEED packets differ"
echo "PASS transcript"
