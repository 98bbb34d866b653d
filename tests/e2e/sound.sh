#!/usr/bin/env bash
# The sound a user hears, through SDL's disk audio driver (the raw output in a
# file): the simulated phone's 1 kHz tone comes out at its frequency and level
# with no gaps after the first 300 ms; with --no-audio nothing audible is
# written.
source "$(dirname "$0")/lib.sh"

# run_with <sound file> <arguments after the UDID...>: the program with the
# phone playing the tone, its sound going to the file.
run_with() {
  local sound=$1
  shift
  SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$sound" VELTRONA_LOG="$WORK/log.txt" \
    VELTRONA_SIM_SCENARIO="capture+tone:hz=1000" VELTRONA_SIM_STREAM="$WORK/stream.h264" \
    VELTRONA_SIM_SERIAL="$SERIAL" VELTRONA_SIM_TRANSCRIPT="$WORK/transcript.txt" LD_PRELOAD="$SIM_LIBRARY" \
    "$PROGRAM" "$UDID" "$@" >"$WORK/stdout.txt" 2>"$WORK/stderr.txt" &
  PROGRAM_PID=$!
}

# wait_for_bytes <file> <bytes> <seconds>
wait_for_bytes() {
  local deadline=$((SECONDS + $3))
  until [[ $(stat -c %s "$1" 2>/dev/null || echo 0) -ge $2 ]]; do
    [[ $SECONDS -lt $deadline ]] || fail "$1 holds fewer than $2 bytes after $3 s"
    sleep 0.2
  done
}

# What the file holds: 48 kHz 16-bit stereo. From 300 ms after the first
# sound to 50 ms before the last (after the window closes the card plays
# silence until the program has stopped), no half millisecond is silent;
# the zero crossings give the tone's frequency.
analyse() {
  python3 - "$1" <<'PYTHON'
import math, struct, sys
data = open(sys.argv[1], 'rb').read()
samples = struct.unpack('<%dh' % (len(data) // 2), data[:len(data) // 2 * 2])
left, right = samples[0::2], samples[1::2]
start = next((i for i, v in enumerate(left) if v != 0), None)
if start is None:
    sys.exit('no sound at all')
end = max(i for i, v in enumerate(left) if v != 0)
first, last = start + 300 * 48, end - 50 * 48
if last - first < 2 * 48000:
    sys.exit('only %d ms of sound' % ((len(left) - start) // 48))
def rms(channel, a, b):
    return math.sqrt(sum(v * v for v in channel[a:b]) / (b - a))
# A 1 kHz sine never stays at zero for half a millisecond.
silent = 0
for i in range(first, last):
    silent = silent + 1 if left[i] == 0 and right[i] == 0 else 0
    if silent == 24:
        sys.exit('gap at %d ms after the first sound' % ((i - start) // 48))
crossings = sum(1 for i in range(first + 1, last) if (left[i - 1] < 0) != (left[i] < 0))
hz = crossings / 2 / ((last - first) / 48000)
level = rms(left, first, last) / 32768
print('%.1f Hz, RMS %.4f of full scale over %d ms' % (hz, level, (last - first) // 48))
if abs(hz - 1000) > 25:
    sys.exit('the tone is at %.1f Hz' % hz)
if abs(level - 0.25 / math.sqrt(2)) > 0.01:
    sys.exit('the tone is at RMS %.4f' % level)
PYTHON
}

start_xvfb
make_stream "$WORK/stream.h264" 320 240 8 1

# Sound on (the default): 4 s of output, then the window closes.
run_with "$WORK/sound.raw"
window_id >/dev/null || fail "no window"
wait_for_bytes "$WORK/sound.raw" $((48000 * 4 * 4)) 30
close_program
[[ $EXIT_CODE -eq 0 ]] || fail "exit code $EXIT_CODE"
analyse "$WORK/sound.raw" || fail "the tone did not come out whole"

# --no-audio: the mirror runs, and nothing audible is written.
run_with "$WORK/silent.raw" --no-audio
window_id >/dev/null || fail "no window with --no-audio"
wait_for_needs 60 30
close_program
[[ $EXIT_CODE -eq 0 ]] || fail "exit code $EXIT_CODE with --no-audio"
if [[ -s "$WORK/silent.raw" ]] && tr -d '\0' <"$WORK/silent.raw" | grep -q .; then
  fail "sound was written with --no-audio"
fi
echo "PASS"
