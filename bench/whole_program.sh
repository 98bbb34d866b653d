#!/usr/bin/env bash
# The whole program at 1170x2532: resident memory while it streams, and the
# time from the window's close (SIGTERM, which the program treats exactly as
# a close) to the end of the process. Budgets: the program's own anonymous
# memory, less the simulated device's copy of its stream, at most 64 MiB;
# ended within 3.5 s.
#
# Runs build-bench/veltrona under a private Xvfb with the simulated device
# preloaded, samples /proc/<pid>/status every 0.2 s while pictures flow, and
# breaks the last sample down by mapping (/proc/<pid>/smaps): the shared
# libraries' file-backed pages, the heap and anonymous mappings.
#
#   bench/whole_program.sh                      (3 runs, capture+fast)
#   RUNS=5 SCENARIO=capture bench/whole_program.sh   (paced at the stream's rate)
#   BUILD_DIR=build-bench SECONDS_STREAMING=6 bench/whole_program.sh
#
# Needs Xvfb, xdotool and the ffmpeg command (for the x264 stream).
set -euo pipefail

HERE=$(cd "$(dirname "$0")" && pwd)
export BUILD_DIR=${BUILD_DIR:-$HERE/../build-bench}
RUNS=${RUNS:-3}
SCENARIO=${SCENARIO:-capture+fast}
SECONDS_STREAMING=${SECONDS_STREAMING:-5}
WIDTH=1170
HEIGHT=2532
# The whole-program tests' steps: private Xvfb, work folder, the program with
# the simulated device preloaded, NEEDs counted in the transcript.
source "$HERE/../tests/e2e/lib.sh"

[[ -x "$PROGRAM" && -f "$SIM_LIBRARY" ]] || {
  echo "build $PROGRAM and $SIM_LIBRARY first" >&2
  exit 1
}

# Two seconds of a moving test picture at 60 fps, High profile, no B-frames,
# a keyframe a second: what the phone sends, looped by the simulated device.
make_stream() {
  ffmpeg -v error -y -f lavfi -i "testsrc2=size=${WIDTH}x${HEIGHT}:rate=60:duration=2" \
    -c:v libx264 -preset veryfast -profile:v high -pix_fmt yuv420p -bf 0 -g 60 \
    -bsf:v h264_mp4toannexb -f h264 "$WORK/stream.h264"
}

field() { awk -v k="$1:" '$1 == k { print $2 }' "/proc/$PROGRAM_PID/status"; }

# smaps of the program: resident kB by what is mapped, largest first.
breakdown() {
  awk '
    /^[0-9a-f]+-[0-9a-f]+ / { name = (NF >= 6) ? $6 : "[anonymous]"; sub(/.*\//, "", name) }
    /^Rss:/ { rss[name] += $2 }
    END { for (n in rss) if (rss[n] > 0) printf "%8d kB  %s\n", rss[n], n }
  ' "/proc/$PROGRAM_PID/smaps" | sort -rn
}

# CPU ticks (user + system) of each thread: "tid ticks", the main thread first.
thread_ticks() {
  local task
  for task in /proc/$PROGRAM_PID/task/*; do
    awk -v t="${task##*/}" '{ sub(/^.*\) /, ""); print t, $12 + $13 }' "$task/stat" 2>/dev/null || true
  done | sort -k1,1n
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

start_xvfb
make_stream
STREAM_BYTES=$(stat -c %s "$WORK/stream.h264")
echo "stream: ${WIDTH}x${HEIGHT}, 120 pictures at 60 fps, $STREAM_BYTES bytes; scenario $SCENARIO"

: >"$WORK/rss.txt"
: >"$WORK/close.txt"
: >"$WORK/anon.txt"
for ((run = 1; run <= RUNS; ++run)); do
  rm -f "$WORK/transcript.txt"
  run_program "$SCENARIO" "$WORK/stream.h264"
  # Streaming once the host has asked for some pictures.
  for ((i = 0; i < 200 && $(needs_sent) < 30; ++i)); do sleep 0.1; done
  [[ $(needs_sent) -ge 30 ]] || {
    echo "run $run: no pictures flowing" >&2
    cat "$WORK/stderr.txt" >&2
    exit 1
  }
  nFirst=$(needs_sent)
  thread_ticks >"$WORK/ticks_start.txt"
  nPeak=0
  end=$((SECONDS + SECONDS_STREAMING))
  while [[ $SECONDS -lt $end ]]; do
    nRss=$(field VmRSS)
    if [[ $nRss -gt $nPeak ]]; then
      nPeak=$nRss
      grep -E '^(VmRSS|RssAnon|RssFile|RssShmem|VmHWM):' "/proc/$PROGRAM_PID/status" >"$WORK/peak_status.txt"
    fi
    sleep 0.2
  done
  nPictures=$(($(needs_sent) - nFirst))
  thread_ticks >"$WORK/ticks_end.txt"
  # The main thread draws the window (the renderer); the busiest other one is
  # the capture thread (decode and publish).
  awk -v pid="$PROGRAM_PID" -v n="$nPictures" -v hz="$(getconf CLK_TCK)" '
    NR == FNR { start[$1] = $2; next }
    { d = $2 - start[$1]; if ($1 == pid) main = d; else if (d > busiest) busiest = d }
    END { printf "  CPU per picture: renderer (main thread) %.2f ms, capture thread %.2f ms\n",
      main * 1000 / hz / n, busiest * 1000 / hz / n }' "$WORK/ticks_start.txt" "$WORK/ticks_end.txt"
  cp "/proc/$PROGRAM_PID/smaps_rollup" "$WORK/rollup.txt"
  breakdown >"$WORK/breakdown.txt"
  nHwm=$(field VmHWM)
  started=$EPOCHREALTIME
  kill -TERM "$PROGRAM_PID"
  nExit=0
  wait "$PROGRAM_PID" || nExit=$?
  closed=$EPOCHREALTIME
  PROGRAM_PID=
  dClose=$(awk -v a="$started" -v b="$closed" 'BEGIN { printf "%.3f", b - a }')
  echo "$nPeak" >>"$WORK/rss.txt"
  # The program's own memory: its anonymous pages, less the simulated
  # device's copy of its stream (which lives in the same process).
  awk -v b="$STREAM_BYTES" '$1 == "RssAnon:" { print $2 - int(b / 1024) }' "$WORK/peak_status.txt" >>"$WORK/anon.txt"
  echo "$dClose" >>"$WORK/close.txt"
  printf 'run %d: %d pictures in %d s; peak VmRSS %d kB (%.1f MiB), VmHWM %d kB; close to end %s s (exit %d)\n' \
    "$run" "$nPictures" "$SECONDS_STREAMING" "$nPeak" "$(awk -v k="$nPeak" 'BEGIN { print k / 1024 }')" \
    "$nHwm" "$dClose" "$nExit"
done

echo
echo "status at the peak of the last run:"
sed 's/^/  /' "$WORK/peak_status.txt"
echo "smaps_rollup while streaming (last run):"
grep -E '^(Rss|Pss|Pss_Anon|Pss_File|Shared_Clean|Private_Clean|Private_Dirty|Anonymous):' \
  "$WORK/rollup.txt" | sed 's/^/  /'
echo "resident by mapping (last run, kB):"
head -n 25 "$WORK/breakdown.txt" | sed 's/^/  /'
awk '$3 ~ /\.so/ { s += $1 } END { printf "  shared libraries together: %d kB (%.1f MiB)\n", s, s / 1024 }' \
  "$WORK/breakdown.txt"
echo
printf 'median peak VmRSS: %s kB (shared libraries included)\n' "$(median <"$WORK/rss.txt")"
printf 'median own anonymous memory at the peak, less the stream: %s kB (budget <= 65536 kB)\n' \
  "$(median <"$WORK/anon.txt")"
printf 'median close to end: %s s (budget <= 3.5 s)\n' "$(median <"$WORK/close.txt")"
