#!/usr/bin/env bash
# Runs every benchmark once, as briefly as its options allow, so that none
# can rot unseen: each must start, run and end with code 0. The figures are
# printed but judged by no one (this machine's timing proves nothing).
# Usage: bench/smoke_run.sh [BUILD_DIR]   (a Release build with -DVELTRONA_BENCH=ON)
set -uo pipefail
szHere="$(cd "$(dirname "$0")" && pwd)"
szBuild="$(cd "${1:-$szHere/../build-bench}" && pwd)" || exit 1

vecRuns=(
  "video_bench --frames=4 --benchmark_min_time=0.001"
  "video_memory_bench 4"
  "pipeline_bench --frames=4 --laps=1 --rounds=1"
  "framing_bench --benchmark_min_time=0.0001"
  "latency_bench --frames=4 --laps=1 --rounds=1"
  "log_bench --benchmark_min_time=0.0001"
  "audio_bench 1"
  "record_bench --frames=4 --rounds=1"
)
nPassed=0
nFailed=0
Report() {  # name, exit code, seconds, output file
  if [ "$2" -eq 0 ]; then
    nPassed=$((nPassed + 1))
    echo "ran $1 ($3 s)"
  else
    nFailed=$((nFailed + 1))
    echo "FAILED $1: exit code $2 ($3 s)"
    tail -n 20 "$4" | sed 's/^/    /'
  fi
}
szOut="$(mktemp)"
trap 'rm -f "$szOut"' EXIT
for szRun in "${vecRuns[@]}"; do
  nStart=$SECONDS
  read -r -a vecArgs <<<"$szRun"
  timeout 300 "$szBuild/${vecArgs[0]}" "${vecArgs[@]:1}" >"$szOut" 2>&1
  Report "${vecArgs[0]}" $? $((SECONDS - nStart)) "$szOut"
done
nStart=$SECONDS
BUILD_DIR="$szBuild" RUNS=1 SECONDS_STREAMING=2 timeout 300 "$szHere/whole_program.sh" >"$szOut" 2>&1
Report whole_program.sh $? $((SECONDS - nStart)) "$szOut"
echo "benchmarks: $nPassed passed, $nFailed failed"
[ "$nFailed" -eq 0 ]
