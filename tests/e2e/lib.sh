# The whole-program tests' steps: a private Xvfb, streams made by ffmpeg, the
# program (in BUILD_DIR) with the simulated device preloaded.
set -euo pipefail

: "${BUILD_DIR:?BUILD_DIR must name the build tree}"
PROGRAM="$BUILD_DIR/veltrona"
SIM_LIBRARY="$BUILD_DIR/libveltrona-sim.so"
SERIAL=00008101000A1B2C3D4E5F60
UDID=00008101-000A1B2C3D4E5F60
# Under AddressSanitizer its runtime must load first, before the preloaded
# simulated device (built with the sanitizers too).
SANITIZER_RUNTIME=$(ldd "$PROGRAM" 2>/dev/null | awk '/libasan/ { print $3 }' || true)
PRELOAD="${SANITIZER_RUNTIME:+$SANITIZER_RUNTIME }$SIM_LIBRARY"
[[ -z $SANITIZER_RUNTIME ]] ||
  export LSAN_OPTIONS="suppressions=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/lsan.supp"
WORK=$(mktemp -d "${TMPDIR:-/tmp}/veltrona-e2e.XXXXXX")
XVFB_PID= PROGRAM_PID=

fail() { echo "FAIL: $*" >&2; exit 1; }

cleanup() {
  [[ -n "$PROGRAM_PID" ]] && kill -KILL "$PROGRAM_PID" 2>/dev/null || true
  [[ -n "$XVFB_PID" ]] && kill "$XVFB_PID" 2>/dev/null || true
  if [[ "${KEEP_WORK:-0}" == 1 ]]; then echo "work files kept in $WORK"; else rm -rf "$WORK"; fi
}
trap cleanup EXIT

# A display of our own, numbered by Xvfb itself so parallel runs never share one.
start_xvfb() {
  mkfifo "$WORK/displayfd"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$WORK/displayfd" 2>"$WORK/xvfb.log" &
  XVFB_PID=$!
  read -r DISPLAY <"$WORK/displayfd"
  export DISPLAY=":$DISPLAY"
}

# make_stream <file> <width> <height> <moving seconds> <still seconds>: a moving
# picture, then a still one of flat colour fields, as FFmpeg decodes it in <file>.png.
make_stream() {
  ffmpeg -v error -y -f lavfi -i "testsrc2=size=$2x$3:rate=30:duration=$4" \
    -f lavfi -i "smptehdbars=size=$2x$3:rate=30:duration=$5" \
    -filter_complex "[0:v][1:v]concat=n=2:v=1[v]" -map "[v]" \
    -c:v libx264 -preset veryfast -profile:v high -pix_fmt yuv420p -bf 0 \
    -bsf:v h264_mp4toannexb -f h264 "$1"
  ffmpeg -v error -y -i "$1" -update 1 -f image2 "$1.png"
}

# make_colour_stream <file> <tv|pc>: four saturated fields, tagged BT.709 limited
# (tv) or full (pc) range; the picture as FFmpeg converts it to RGB in <file>.png.
make_colour_stream() {
  ffmpeg -v error -y -f lavfi -i "color=c=0xd02010:size=320x240:rate=30:duration=2,
    drawbox=x=160:y=0:w=160:h=120:color=0x20c040:t=fill,
    drawbox=x=0:y=120:w=160:h=120:color=0x2030e0:t=fill,
    drawbox=x=160:y=120:w=160:h=120:color=0xe0a070:t=fill" \
    -c:v libx264 -preset veryfast -pix_fmt yuv420p -bf 0 -colorspace bt709 \
    -color_primaries bt709 -color_trc bt709 -color_range "$2" -bsf:v h264_mp4toannexb -f h264 "$1"
  [[ $(ffprobe -v error -show_entries stream=color_space,color_range -of csv=p=0 "$1") == "$2,bt709" ]] ||
    fail "$1 is not tagged BT.709 $2"
  ffmpeg -v error -y -i "$1" -pix_fmt rgb24 -update 1 -f image2 "$1.png"
}

# colours_shown <window> <picture.png>: the middle of each quarter of the
# picture, in the window's letter-boxed rectangle, within 3 levels of it.
colours_shown() {
  import -window "$1" "$WORK/shot.png" || return 1
  local sx sy px py rgb='%[fx:int(255*p{X}.r+.5)] %[fx:int(255*p{X}.g+.5)] %[fx:int(255*p{X}.b+.5)] '
  while read -r sx sy px py; do
    awk '{ for (i = 1; i <= 3; i++) if ((d = $i - $(i + 3)) > 3 || d < -3) bad = 1 }
      END { exit bad || NR != 1 }' < <(
      convert "$WORK/shot.png" -format "${rgb//X/$sx,$sy}" info:
      convert "$2" -format "${rgb//X/$px,$py}\n" info:) || return 1
  done < <(identify -format '%w %h ' "$WORK/shot.png" "$2" | awk '{ s = $1 / $3 < $2 / $4 ? $1 / $3 : $2 / $4
    for (q = 1; q <= 4; q++) { qx = q % 2 ? 1 : 3; qy = q < 3 ? 1 : 3
      print int(($1 - int(s * $3)) / 2 + int(s * $3) * qx / 4), int(($2 - int(s * $4)) / 2 + int(s * $4) * qy / 4),
        int($3 * qx / 4), int($4 * qy / 4) } }')
}

# run_program <scenario> <stream> [udid [option...]]: the program in the background,
# its files named with RUN_TAG, if set (no earlier run's transcript read as this one's).
run_program() {
  rm -f "$WORK/transcript${RUN_TAG:-}.txt"
  VELTRONA_SIM_SCENARIO="$1" VELTRONA_SIM_STREAM="$2" VELTRONA_SIM_SERIAL="$SERIAL" \
    VELTRONA_SIM_TRANSCRIPT="$WORK/transcript${RUN_TAG:-}.txt" LD_PRELOAD="$PRELOAD" \
    "$PROGRAM" "${3:-$UDID}" "${@:4}" >"$WORK/stdout${RUN_TAG:-}.txt" 2>"$WORK/stderr${RUN_TAG:-}.txt" &
  PROGRAM_PID=$!
}

# wait_until <seconds> <what> <condition>: the bound only keeps a broken program from hanging the run.
wait_until() {
  local deadline=$((SECONDS + $1))
  until eval "$3"; do
    [[ $SECONDS -lt $deadline ]] || fail "$2 not within $1 s"
    sleep 0.2
  done
}

window_id() { timeout 20 xdotool search --sync --onlyvisible --name '^Veltrona - iOS$' | head -n 1; }
# the_window: the program's window into $window; fails when there is none.
the_window() { window=$(window_id) && [[ -n $window ]] || fail "no window"; }
window_size() { xwininfo -id "$1" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }'; }
# brightest <picture> <WxH+X+Y>: the brightest channel in that part, 0 to 1.
brightest() { convert "$1" -crop "$2" +repage -format '%[fx:maxima]' info:; }
# lit <window> <WxH+X+Y>: whether anything in that part of the window is not black.
lit() { import -window "$1" "$WORK/lit.png" && [[ $(brightest "$WORK/lit.png" "$2") != 0 ]]; }

# ended_with <code>: waits for the program to end and checks its exit code.
ended_with() {
  wait_until 10 "the end of the program" '! kill -0 "$PROGRAM_PID" 2>/dev/null'
  local code=0
  wait "$PROGRAM_PID" || code=$?
  PROGRAM_PID=
  [[ $code == "$1" ]] || fail "exit code $code, not $1"
}

# SIGTERM ends the program exactly as closing its window does.
close_program() { kill -TERM "$PROGRAM_PID" && ended_with 0; }

# The NEED packet the host sends after every video packet: 20 bytes, asyn, need.
NEED_PATTERN='^bulk_write [0-9x]* 140000006e797361[0-9a-f]{16}6465656e$'
needs_sent() { cat "$WORK/transcript.txt" 2>/dev/null | grep -cE "$NEED_PATTERN" || true; }
claims_made() { cat "$WORK/transcript.txt" 2>/dev/null | grep -c '^claim_interface' || true; }
logged() { grep -q "$1" "$WORK/log.txt" 2>/dev/null; }
pictures_in() {
  ffprobe -v error -select_streams v -count_frames -show_entries stream=nb_read_frames -of csv=p=0 "$1"
}

# The device checks the host's fixed packets byte for byte; "error" lines say what it found wrong.
expect_no_protocol_errors() {
  ! grep '^error' "$WORK/transcript.txt" | head -n 5 >&2 || fail "the device found faults in the host's packets"
}

# picture_shown <window> <still.png> [band]: whether the window shows the still
# picture letter-boxed, by mean absolute error (painters scale with other
# filters: 0.001-0.002 for the right picture, about 0.4 for another or black),
# and the bars, a pixel away from it, exactly black. "band": the bottom twelfth
# (where the band about a lost device is drawn) is left out of both.
picture_shown() {
  import -window "$1" "$WORK/shot.png" || return 1
  local cw ch w h x y dw dh mae region
  read -r cw ch < <(identify -format '%w %h\n' "$WORK/shot.png")
  read -r w h < <(identify -format '%w %h\n' "$2")
  read -r x y dw dh < <(awk -v cw="$cw" -v ch="$ch" -v w="$w" -v h="$h" 'BEGIN {
    rx = cw / w; ry = ch / h; s = (rx < ry) ? rx : ry; dw = int(s * w); dh = int(s * h)
    printf "%d %d %d %d\n", int((cw - dw) / 2), int((ch - dh) / 2), dw, dh }')
  convert -size "${cw}x${ch}" xc:black \( "$2" -filter Triangle -resize "${dw}x${dh}!" \) \
    -geometry "+$x+$y" -composite "$WORK/expected.png"
  [[ ${3:-} != band ]] || for region in shot expected; do
    mogrify -fill black -draw "rectangle 0,$((ch - ch / 12)) $cw,$ch" "$WORK/$region.png"
  done
  mae=$({ compare -metric MAE "$WORK/shot.png" "$WORK/expected.png" null: 2>&1 || true; } |
    sed -E 's/.*\((.*)\).*/\1/')
  echo "client ${cw}x${ch}, picture ${dw}x${dh} at $x,$y: mean absolute error $mae"
  awk -v m="$mae" 'BEGIN { exit !(m < 0.02) }' || return 1
  local regions=()
  [[ $x -gt 1 ]] && regions+=("$((x - 1))x${ch}+0+0" "$((cw - x - dw - 1))x${ch}+$((x + dw + 1))+0")
  [[ $y -gt 1 ]] && regions+=("${cw}x$((y - 1))+0+0" "${cw}x$((ch - y - dh - 1))+0+$((y + dh + 1))")
  for region in "${regions[@]}"; do
    [[ $(brightest "$WORK/shot.png" "$region") == 0 ]] || return 1
  done
}

seconds_since() { awk -v a="$1" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.2f", b - a }'; }
alive() { kill -0 "$PROGRAM_PID" 2>/dev/null; }
chaos_ended() { grep -q '^chaos-end' "$WORK/transcript.txt" 2>/dev/null; }

# time_recovery <bound>: into RECOVERY_S, the seconds from the end of the damage
# until ten more NEEDs (unasked, the host sends one at most every 1.5 s); fails past the bound.
time_recovery() {
  local deadline=$((SECONDS + 60)) start needs
  until chaos_ended; do [[ $SECONDS -lt $deadline ]] && alive && sleep 0.05 || return 1; done
  start=$EPOCHREALTIME needs=$(needs_sent) deadline=$((SECONDS + $1))
  until [[ $(needs_sent) -ge $((needs + 10)) ]]; do
    [[ $SECONDS -lt $deadline ]] && alive && sleep 0.05 || return 1
  done
  RECOVERY_S=$(seconds_since "$start")
}

# time_stop: SIGTERM; the seconds until the end into STOP_S, the exit code into EXIT_CODE ("hung" past 10 s).
time_stop() {
  local start=$EPOCHREALTIME deadline=$((SECONDS + 10)) code=0
  kill -TERM "$PROGRAM_PID" 2>/dev/null || true
  while alive && [[ $SECONDS -lt $deadline ]]; do sleep 0.02; done
  STOP_S=$(seconds_since "$start") EXIT_CODE=
  if alive; then kill -KILL "$PROGRAM_PID" && EXIT_CODE=hung; fi
  wait "$PROGRAM_PID" || code=$?
  EXIT_CODE=${EXIT_CODE:-$code} PROGRAM_PID=
}

# stop_within <seconds> [what]: time_stop; fails unless the program ended with 0 within the bound.
stop_within() {
  time_stop
  [[ $EXIT_CODE == 0 ]] && awk -v s="$STOP_S" -v w="$1" 'BEGIN { exit !(s < w) }' ||
    fail "${2:+$2: }exit code $EXIT_CODE, ended $STOP_S s after SIGTERM"
}
