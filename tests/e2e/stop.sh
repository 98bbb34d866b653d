#!/usr/bin/env bash
# Closing the window.
#   capturing: mode-off (wIndex 0) while the interface is claimed, then close,
#              and the process ends with exit code 0.
#   absent:    no device matches: the process ends without any control request.
source "$(dirname "$0")/lib.sh"
mode=$1
start_xvfb
make_stream "$WORK/stream.h264" 320 568 2 0

if [[ $mode == capturing ]]; then
  run_program capture "$WORK/stream.h264"
  window_id >/dev/null
  wait_for_needs 20 60
  close_program 10
  [[ $EXIT_CODE == 0 ]] || fail "exit code $EXIT_CODE"
  words=$(transcript_words)
  [[ $words =~ claim\ [a-z0-9:\ -]*mode-off\ close\ $ ]] ||
    fail "no mode-off then close at the end: ...${words: -80}"
  echo "PASS stop while capturing: ended with exit code 0 after $CLOSE_SECONDS s"
else
  run_program capture "$WORK/stream.h264" 00008101-FFFFFFFFFFFFFFFF
  window_id >/dev/null
  sleep 2
  close_program 10
  [[ $EXIT_CODE == 0 ]] || fail "exit code $EXIT_CODE"
  if grep -q '^control' "$WORK/transcript.txt"; then fail "a control request was sent"; fi
  echo "PASS stop with no device: ended with exit code 0 after $CLOSE_SECONDS s"
fi
