#!/usr/bin/env bash
# Soak: the device unplugged and plugged back in again and again in one run
# of the whole program (a fast stream, unplugged after every 8 pictures, back
# 50 ms later). Every reconnect must be made, with no fault in the host's
# packets, and the resident memory must stay flat: no more than 9 MiB of
# growth from the early connections to the last. The decoder's picture pool
# may take one more 4.4 MiB picture at any time while the window holds one;
# a leak of one receive buffer or one picture per connection would show as
# 5 MiB or more for each cycle, 20 MiB over the CI's five.
#
#   bench/unplug_soak.sh [cycles]          (default 100; the CI runs 5)
#   BUILD_DIR=build-bench bench/unplug_soak.sh 1000
#
# Needs Xvfb, xdotool and the ffmpeg command (for the x264 stream).
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
export BUILD_DIR=${BUILD_DIR:-$HERE/../build}
CYCLES=${1:-100}
# The whole-program tests' steps: private Xvfb, work folder, the program with
# the simulated device preloaded, connections counted in the transcript.
source "$HERE/../tests/e2e/lib.sh"

resident_kib() { awk '/^VmRSS:/ { print $2 }' "/proc/$PROGRAM_PID/status"; }

start_xvfb
make_stream "$WORK/stream.h264" 1170 2532 1 0
run_program "capture+fast+unplug:frames=8,replug_ms=50,repeat=1" "$WORK/stream.h264"
window_id >/dev/null
# Memory is compared from the connection after a tenth of the cycles (the
# second at least): by then the decoder and the window have their pictures.
early=$((CYCLES / 10 > 1 ? CYCLES / 10 + 1 : 2))
wait_until 120 "$early connections" '[[ $(claims_made) -ge $early ]]'
rss_early=$(resident_kib)
wait_until $((CYCLES * 6 + 60)) "$((CYCLES + 1)) connections" '[[ $(claims_made) -gt $CYCLES ]]'
rss_late=$(resident_kib)
needs=$(needs_sent)
close_program
expect_no_protocol_errors
echo "$CYCLES unplug/re-plug cycles: $(claims_made) connections, $needs NEEDs; resident" \
  "memory after connection $early ${rss_early} KiB, after the last ${rss_late} KiB"
growth=$((rss_late - rss_early))
[[ $growth -lt 9216 ]] || fail "resident memory grew by $growth KiB"
echo "PASS"
