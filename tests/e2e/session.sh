#!/usr/bin/env bash
# The host's whole side of a session, in order, as the device recorded it: cold
# start with the mode switch, the stream's start, a NEED per picture, at the
# close mode-off while the interface is claimed, then the close.
source "$(dirname "$0")/lib.sh"
start_xvfb
make_stream "$WORK/stream.h264" 320 568 2 0
run_program cold "$WORK/stream.h264"
wait_until 60 "40 pictures asked for" '[[ $(needs_sent) -ge 40 ]]'
close_program
expect_no_protocol_errors
# A word an event: packets by kind (asyn by sub-type), replies with their length.
words=$(awk '
  function digit(h, i) { return index("0123456789abcdef", substr(h, i, 1)) - 1 }
  BEGIN { w["676e6970"] = "ping"; w["31647068"] = "hpd1"; w["31617068"] = "hpa1"
          w["6465656e"] = "need"; w["796c7072"] = "rply" }
  $1 == "bulk_write" { k = substr($3, 9, 8); k = (k == "6e797361") ? substr($3, 33, 8) : k
                       k = (k in w) ? w[k] : "other"
                       print (k == "rply") ? "rply:" digit($3, 1) * 16 + digit($3, 2) : k; next }
  $1 == "control" { print ($3 == "0x40") ? "keep-alive" : ($5 == "0x0002") ? "mode-on" : "mode-off"
                    next }
  { sub(/_configuration/, "-config"); sub(/_interface/, ""); print $1 }
' "$WORK/transcript.txt" | tr '\n' ' ')
# Mode-on and close, the capture configuration and interface; the ping answered;
# two display announcements, the CWPA reply, the audio announcement; the AFMT
# reply; NEED before the CVRP reply; the CLOK and TIME replies; then NEEDs
# (with ping answers and SKEW replies among them).
start='^mode-on close set-config claim ping hpd1 hpd1 rply:28 hpa1 rply:62 need rply:28 rply:28 '
rest='rply:44 ((need|ping|rply:28|rply:24|keep-alive) )+mode-off close $'
[[ $words =~ $start$rest ]] || fail "the session is out of order: ${words:0:300}"
[[ $(grep -E "$NEED_PATTERN" "$WORK/transcript.txt" | sort -u | wc -l) == 1 ]] ||
  fail "the NEED packets differ: each carries the clock reference of the CVRP request"
echo "PASS session"
