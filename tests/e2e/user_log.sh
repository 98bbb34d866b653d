#!/usr/bin/env bash
# VELTRONA_LOG: every line in readable UTF-8, after the milliseconds since start.
source "$(dirname "$0")/lib.sh"
start_xvfb
make_stream "$WORK/stream.h264" 320 640 1 1
export VELTRONA_LOG="$WORK/log.txt"
run_program capture "$WORK/stream.h264"
wait_until 60 "the parameter sets in the log" 'grep -q "SPS_and_PPS : " "$WORK/log.txt"'
close_program
iconv -f UTF-8 -t UTF-8 "$WORK/log.txt" >/dev/null || fail "the log is not UTF-8"
grep -qx ' *[0-9]* 投屏中\.\.\.' "$WORK/log.txt" || fail "no capturing line in the log"
if grep -vqE '^ *[0-9]+ ' "$WORK/log.txt"; then fail "a line without its milliseconds"; fi
echo "PASS the log in UTF-8, $(wc -l <"$WORK/log.txt") lines"
