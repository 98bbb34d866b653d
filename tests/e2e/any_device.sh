#!/usr/bin/env bash
# --any in place of the UDID mirrors the phone that is there, whatever its
# serial, and logs which. The program may be given (the package tests'), else the build's.
source "$(dirname "$0")/lib.sh"
PROGRAM=${1:-$PROGRAM}
SERIAL=${VELTRONA_SIM_SERIAL:-0123456789abcdef0123456789abcdef01234567}
start_xvfb
make_stream "$WORK/stream.h264" 390 844 1 2
export VELTRONA_LOG="$WORK/log.txt"
run_program capture "$WORK/stream.h264" --any
the_window
wait_until 60 "the picture" 'picture_shown "$window" "$WORK/stream.h264.png"'
grep -qE "any: mirroring (${SERIAL,,}|${SERIAL:0:8}-)" "$WORK/log.txt" ||
  fail "the log does not say which device was taken"
close_program
echo "PASS any device ($PROGRAM)"
