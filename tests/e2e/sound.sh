#!/usr/bin/env bash
# The sound a user hears, through SDL's disk audio driver (the raw output in a
# file): the simulated phone's 1 kHz tone comes out at its frequency and level
# with no gaps once start-up is over, until M mutes it; --no-audio writes
# nothing audible; --help says how to start the program.
source "$(dirname "$0")/lib.sh"

# run_with <sound file> <arguments after the UDID...>
run_with() {
  SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$1" VELTRONA_SIM_SCENARIO="capture+tone:hz=1000" \
    VELTRONA_SIM_STREAM="$WORK/stream.h264" VELTRONA_SIM_SERIAL="$SERIAL" \
    VELTRONA_SIM_TRANSCRIPT="$WORK/transcript.txt" VELTRONA_LOG="$WORK/log.txt" LD_PRELOAD="$PRELOAD" \
    "$PROGRAM" "$UDID" "${@:2}" >"$WORK/stdout.txt" 2>"$WORK/stderr.txt" &
  PROGRAM_PID=$!
  WINDOW=$(window_id) || fail "no window"
}

# 48 kHz 16-bit stereo. From 1 s after the first sound (the window, the font and
# the first pictures start then) to 50 ms before the last (after the close the
# card plays silence), no half millisecond is silent (a 1 kHz sine never is);
# the zero crossings give the frequency.
analyse() {
  python3 - "$1" <<'PYTHON'
import math, struct, sys
data = open(sys.argv[1], 'rb').read()
samples = struct.unpack('<%dh' % (len(data) // 2), data[:len(data) // 2 * 2])
left, right = samples[0::2], samples[1::2]
sounding = [i for i, v in enumerate(left) if v != 0] or sys.exit('no sound at all')
first, last = sounding[0] + 1000 * 48, sounding[-1] - 50 * 48
if last - first < 2 * 48000:
    sys.exit('only %d ms of sound' % ((last - first) // 48))
silent = 0
for i in range(first, last):
    silent = silent + 1 if left[i] == 0 and right[i] == 0 else 0
    if silent == 24:
        sys.exit('gap at %d ms after the first sound' % ((i - sounding[0]) // 48))
crossings = sum(1 for i in range(first + 1, last) if (left[i - 1] < 0) != (left[i] < 0))
hz = crossings / 2 / ((last - first) / 48000)
level = math.sqrt(sum(v * v for v in left[first:last] + right[first:last]) / (2 * (last - first))) / 32768
print('%.1f Hz, RMS %.4f of full scale over %d ms' % (hz, level, (last - first) // 48))
if abs(hz - 1000) > 25 or abs(level - 0.25 / math.sqrt(2)) > 0.01:
    sys.exit('expected 1000 Hz at RMS %.4f' % (0.25 / math.sqrt(2)))
PYTHON
}

"$PROGRAM" --help >"$WORK/usage.txt" || fail "--help exits with $?"
grep -q -- "--no-audio" "$WORK/usage.txt" || fail "--help does not name --no-audio"

start_xvfb
make_stream "$WORK/stream.h264" 320 240 8 1

run_with "$WORK/sound.raw"
wait_until 30 "5 s of sound" '[[ $(stat -c %s "$WORK/sound.raw" 2>/dev/null || echo 0) -ge 960000 ]]'
xdotool windowfocus --sync "$WINDOW" key m
wait_until 10 "the mute in the log" 'grep -q "audio: muted" "$WORK/log.txt"'
close_program
analyse "$WORK/sound.raw" || fail "the tone did not come out whole"

run_with "$WORK/silent.raw" --no-audio
wait_until 60 "30 pictures asked for" '[[ $(needs_sent) -ge 30 ]]'
close_program
if [[ -s "$WORK/silent.raw" ]] && tr -d '\0' <"$WORK/silent.raw" | grep -q .; then
  fail "sound was written with --no-audio"
fi
echo "PASS"
