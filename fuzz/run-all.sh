#!/usr/bin/env bash
# Runs every fuzz target for the given number of seconds each, starting from
# the committed seed corpus. Builds nothing: the targets must already be in
# the fuzz build tree (VELTRONA_FUZZ_BUILD, default build-fuzz beside this
# folder's parent). Exits non-zero when a target finds a crash; the crashing
# input is left in the work folder it names.
set -euo pipefail

seconds="${1:-20}"
here="$(cd "$(dirname "$0")" && pwd)"
build="${VELTRONA_FUZZ_BUILD:-$here/../build-fuzz}"
work="$(mktemp -d "${TMPDIR:-/tmp}/veltrona-fuzz.XXXXXX")"
targets=(receive_path_fuzz sample_buffer_fuzz video_slots_fuzz audio_input_fuzz)

status=0
for target in "${targets[@]}"; do
  binary="$build/fuzz/$target"
  if [[ ! -x "$binary" ]]; then
    echo "$target: not built in $build/fuzz" >&2
    status=1
    continue
  fi
  corpus="$work/$target"
  mkdir -p "$corpus"
  if [[ -d "$here/corpus/$target" ]]; then cp "$here/corpus/$target/"* "$corpus/" 2>/dev/null || true; fi
  echo "== $target for ${seconds}s"
  # FFmpeg's decoder may hold well over 2 GiB (with the sanitizer's
  # quarantine) for a stream that declares a huge picture: allowed, up to 4 GiB.
  if ! (cd "$work" && "$binary" -max_total_time="$seconds" -print_final_stats=1 -rss_limit_mb=4096 \
          -artifact_prefix="$work/$target-" "$corpus" >"$work/$target.log" 2>&1); then
    echo "$target: FAILED, see $work/$target.log" >&2
    tail -n 40 "$work/$target.log" >&2
    status=1
    continue
  fi
  grep -E "^stat::number_of_executed_units|^stat::peak_rss_mb" "$work/$target.log" || true
done
if [[ "$status" -eq 0 ]]; then rm -rf "$work"; fi
exit "$status"
