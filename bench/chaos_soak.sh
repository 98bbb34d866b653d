#!/usr/bin/env bash
# Soak: the simulated phone damages its transfers (flips, cuts, overwritten
# lengths, random bytes, drops, repeats) for a stretch of each run, seeded
# differently each time; every seed is a fresh run of the whole program.
# Reports crashes (an exit code other than 0, a sanitizer report), hangs (no
# end within 10 s of SIGTERM), runs whose pictures did not come back within
# 30 s of the damage's end, and the longest time to pictures again (ten
# pictures answered after the damage ends) and to the program's end after
# SIGTERM.
#
#   bench/chaos_soak.sh [seeds]           (default 100)
#   BUILD_DIR=build-asan bench/chaos_soak.sh 10
#
# Needs Xvfb and the ffmpeg command (for the x264 stream).
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
export BUILD_DIR=${BUILD_DIR:-$HERE/../build}
SEEDS=${1:-100}
source "$HERE/../tests/e2e/lib.sh"

start_xvfb
make_stream "$WORK/stream.h264" 320 568 4 0
crashes=0 hangs=0 wedged=0 recovered=0 worst_recovery=0 worst_stop=0
for ((seed = 1; seed <= SEEDS; ++seed)); do
  # Every other run with a tone: sound of its own clock keeps coming while
  # pictures stop, so silence never prompts the host.
  scenario="capture+chaos:seed=$seed,from=30,to=230,rate=0.1"
  ((seed % 2 == 0)) && scenario+="+tone:hz=440"
  run_program "$scenario" "$WORK/stream.h264"
  RECOVERY_S=
  if time_recovery 30; then
    recovered=$((recovered + 1))
    worst_recovery=$(awk -v a="$worst_recovery" -v b="$RECOVERY_S" 'BEGIN { print (b > a) ? b : a }')
  else
    wedged=$((wedged + 1))
  fi
  time_stop
  worst_stop=$(awk -v a="$worst_stop" -v b="$STOP_S" 'BEGIN { print (b > a) ? b : a }')
  outcome=ok
  if [[ $EXIT_CODE == hung ]]; then
    hangs=$((hangs + 1)) outcome=hang
  elif [[ $EXIT_CODE != 0 ]] || grep -qE 'Sanitizer|runtime error' "$WORK/stderr.txt"; then
    crashes=$((crashes + 1)) outcome="crash (exit $EXIT_CODE)"
    cp "$WORK/stderr.txt" "${TMPDIR:-/tmp}/chaos-soak-seed-$seed.stderr"
  fi
  echo "seed $seed: ${RECOVERY_S:-no} s to pictures again, stopped in $STOP_S s: $outcome"
done
echo "$SEEDS seeds: $crashes crashes, $hangs hangs, $recovered recovered, $wedged not" \
  "recovered within 30 s; longest time to pictures again ${worst_recovery} s, longest" \
  "stop ${worst_stop} s"
[[ $crashes == 0 && $hangs == 0 && $wedged == 0 ]]
