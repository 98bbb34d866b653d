#!/usr/bin/env bash
# The phone damages its transfers for a while (seeded): once it behaves again,
# pictures flow within 3 s and are right, and SIGTERM ends the program in under
# STOP_WITHIN_S (3.5 s; more under the sanitizers) with exit code 0. A run per
# seed given; even seeds with a tone.
source "$(dirname "$0")/lib.sh"
STOP_WITHIN_S=${STOP_WITHIN_S:-3.5}
[[ $# -gt 0 ]] || fail "no seeds given"
start_xvfb
make_stream "$WORK/stream.h264" 320 568 2 1
for seed in "$@"; do
  scenario="capture+chaos:seed=$seed,from=30,to=230,rate=0.1"
  ((seed % 2 == 0)) && scenario+="+tone:hz=440"
  run_program "$scenario" "$WORK/stream.h264"
  the_window
  time_recovery 3 || fail "seed $seed: no pictures within 3 s of the damage's end"
  wait_until 60 "seed $seed: the picture" 'picture_shown "$window" "$WORK/stream.h264.png"'
  stop_within "$STOP_WITHIN_S" "seed $seed"
  ! grep -E 'Sanitizer|runtime error' "$WORK/stderr.txt" || fail "seed $seed: a sanitizer's report"
  echo "seed $seed: pictures again $RECOVERY_S s after the damage, ended $STOP_S s after SIGTERM"
done
echo "PASS chaos"
