# Shared steps of the whole-program tests: a private Xvfb, test streams made
# with the ffmpeg command, the real program with the simulated device
# preloaded, screenshots and their comparison.
# Needs BUILD_DIR (the build tree holding veltrona and libveltrona-sim.so).
set -euo pipefail

: "${BUILD_DIR:?BUILD_DIR must name the build tree}"
PROGRAM="$BUILD_DIR/veltrona"
SIM_LIBRARY="$BUILD_DIR/libveltrona-sim.so"
SERIAL=00008101000A1B2C3D4E5F60
UDID=00008101-000A1B2C3D4E5F60
WORK=$(mktemp -d "${TMPDIR:-/tmp}/veltrona-e2e.XXXXXX")
XVFB_PID=
PROGRAM_PID=

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

cleanup() {
  [[ -n "$PROGRAM_PID" ]] && kill -KILL "$PROGRAM_PID" 2>/dev/null || true
  [[ -n "$XVFB_PID" ]] && kill "$XVFB_PID" 2>/dev/null || true
  if [[ "${KEEP_WORK:-0}" == 1 ]]; then echo "work files kept in $WORK"; else rm -rf "$WORK"; fi
}
trap cleanup EXIT

# A display of our own, numbered by Xvfb itself so parallel runs never share one.
start_xvfb() {
  local fifo="$WORK/displayfd"
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" 2>"$WORK/xvfb.log" &
  XVFB_PID=$!
  local number
  read -r number <"$fifo"
  export DISPLAY=":$number"
}

# make_stream <file> <width> <height> <moving seconds> <still seconds>
# A moving test picture, then a still one of large flat colour fields.
make_stream() {
  local file=$1 width=$2 height=$3 moving=$4 still=$5
  ffmpeg -v error -y \
    -f lavfi -i "testsrc2=size=${width}x${height}:rate=30:duration=$moving" \
    -f lavfi -i "smptehdbars=size=${width}x${height}:rate=30:duration=$still" \
    -filter_complex "[0:v][1:v]concat=n=2:v=1[v]" -map "[v]" \
    -c:v libx264 -preset veryfast -profile:v high -pix_fmt yuv420p -bf 0 \
    -bsf:v h264_mp4toannexb -f h264 "$file"
}

# The last picture of a stream as FFmpeg decodes it, as a PNG.
last_picture() {
  ffmpeg -v error -y -i "$1" -update 1 -f image2 "$2"
}

# run_program <scenario> <stream> [udid]: starts the program in the background.
run_program() {
  local scenario=$1 stream=$2 udid=${3:-$UDID}
  VELTRONA_SIM_SCENARIO="$scenario" VELTRONA_SIM_STREAM="$stream" VELTRONA_SIM_SERIAL="$SERIAL" \
    VELTRONA_SIM_TRANSCRIPT="$WORK/transcript.txt" LD_PRELOAD="$SIM_LIBRARY" \
    "$PROGRAM" "$udid" >"$WORK/stdout.txt" 2>"$WORK/stderr.txt" &
  PROGRAM_PID=$!
}

window_id() {
  timeout 20 xdotool search --sync --onlyvisible --name '^Veltrona - iOS$' | head -n 1
}

# close_program: SIGTERM ends the program exactly as closing its window does.
# Sets EXIT_CODE and CLOSE_SECONDS; fails when the process is still there
# after $1 seconds.
close_program() {
  local limit=${1:-10}
  local started=$EPOCHREALTIME
  kill -TERM "$PROGRAM_PID"
  wait_exit "$limit" "$started"
}

# wait_exit <limit seconds> [start time]: waits for the program to end by itself.
wait_exit() {
  local limit=$1 started=${2:-$EPOCHREALTIME}
  local waited=0
  while kill -0 "$PROGRAM_PID" 2>/dev/null; do
    sleep 0.1
    waited=$((waited + 1))
    [[ $waited -le $((limit * 10)) ]] || fail "the program did not end within $limit s"
  done
  EXIT_CODE=0
  wait "$PROGRAM_PID" || EXIT_CODE=$?
  CLOSE_SECONDS=$(awk -v a="$started" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.2f", b - a }')
  PROGRAM_PID=
}

# wait_for_line <file> <pattern> <seconds>
wait_for_line() {
  local deadline=$((SECONDS + $3))
  until grep -q -- "$2" "$1" 2>/dev/null; do
    [[ $SECONDS -lt $deadline ]] || fail "no line matching '$2' in $1 within $3 s"
    sleep 0.2
  done
}

# The number of host packets of a kind in the transcript: count_writes <hex prefix after the length>
count_writes() {
  grep -c "^bulk_write [0-9]* ........$1" "$WORK/transcript.txt" || true
}

screenshot() {
  import -window "$1" "$2"
}

# expect_picture <screenshot.png> <still.png> <client w> <client h>
# The window must hold black bars and the still picture scaled into the
# letter-box rectangle. Painters scale with different filters (and the
# picture went through H.264 and two colour conversions), so the picture is
# compared by mean absolute error (normalised to 1; measured 0.001-0.002 for
# the right picture, about 0.4 for another test picture or an all-black window); the
# bars must be exactly black.
expect_picture() {
  local shot=$1 still=$2 cw=$3 ch=$4
  local w h
  read -r w h < <(identify -format '%w %h\n' "$still")
  local dw dh x y
  read -r x y dw dh < <(awk -v cw="$cw" -v ch="$ch" -v w="$w" -v h="$h" 'BEGIN {
    rx = cw / w; ry = ch / h; s = (rx < ry) ? rx : ry;
    dw = int(s * w); dh = int(s * h);
    printf "%d %d %d %d\n", int((cw - dw) / 2), int((ch - dh) / 2), dw, dh }')
  convert -size "${cw}x${ch}" xc:black \( "$still" -filter Triangle -resize "${dw}x${dh}!" \) \
    -geometry "+$x+$y" -composite "$WORK/expected.png"
  local size
  size=$(identify -format '%wx%h' "$shot")
  [[ "$size" == "${cw}x${ch}" ]] || fail "screenshot is $size, expected ${cw}x${ch}"
  local mae
  mae=$({ compare -metric MAE "$shot" "$WORK/expected.png" null: 2>&1 || true; } | sed -E 's/.*\((.*)\).*/\1/')
  echo "picture ${dw}x${dh} at $x,$y: mean absolute error $mae"
  awk -v m="$mae" 'BEGIN { exit !(m < 0.02) }' || fail "picture differs: MAE $mae"
  check_black_bars "$shot" "$cw" "$ch" "$x" "$y" "$dw" "$dh"
}

# The bars, one pixel away from the picture's edges, hold nothing but black.
check_black_bars() {
  local shot=$1 cw=$2 ch=$3 x=$4 y=$5 dw=$6 dh=$7
  local regions=()
  [[ $x -gt 1 ]] && regions+=("$((x - 1))x${ch}+0+0" "$((cw - x - dw - 1))x${ch}+$((x + dw + 1))+0")
  [[ $y -gt 1 ]] && regions+=("${cw}x$((y - 1))+0+0" "${cw}x$((ch - y - dh - 1))+0+$((y + dh + 1))")
  local region max
  for region in "${regions[@]}"; do
    max=$(convert "$shot" -crop "$region" +repage -format '%[fx:maxima]' info:)
    awk -v m="$max" 'BEGIN { exit !(m == 0) }' || fail "bar $region is not black (max $max)"
  done
}

# The NEED packet the host sends after every video packet: 20 bytes, asyn, need.
NEED_PATTERN='^bulk_write [0-9x]* 140000006e797361[0-9a-f]{16}6465656e$'

needs_sent() {
  local count
  count=$(grep -cE "$NEED_PATTERN" "$WORK/transcript.txt" 2>/dev/null) || true
  echo "${count:-0}"
}

# wait_for_needs <count> <seconds>: the device has been asked for that many pictures.
wait_for_needs() {
  local deadline=$((SECONDS + $2))
  until [[ $(needs_sent) -ge $1 ]]; do
    [[ $SECONDS -lt $deadline ]] || fail "only $(needs_sent) pictures asked for within $2 s"
    sleep 0.2
  done
}

# The device checks the host's fixed packets byte for byte and writes what it
# found wrong as "error" lines.
expect_no_protocol_errors() {
  if grep -q '^error' "$WORK/transcript.txt"; then
    grep '^error' "$WORK/transcript.txt" | head -n 5 >&2
    fail "the device found faults in the host's packets"
  fi
}

# The transcript as one word per event, for matching its order:
# ping hpd1 hpa1 need rply:<length> mode-on mode-off keep-alive close
# set-config claim reset other.
transcript_words() {
  awk '
    function hex2dec(h,   i, n) {
      n = 0
      for (i = 1; i <= length(h); i++) n = n * 16 + index("0123456789abcdef", substr(h, i, 1)) - 1
      return n
    }
    $1 == "bulk_write" {
      p = $3
      kind = substr(p, 9, 8); sub4 = substr(p, 33, 8); len = substr(p, 1, 2)
      if (kind == "676e6970") print "ping"
      else if (kind == "6e797361" && sub4 == "31647068") print "hpd1"
      else if (kind == "6e797361" && sub4 == "31617068") print "hpa1"
      else if (kind == "6e797361" && sub4 == "6465656e") print "need"
      else if (kind == "796c7072") printf "rply:%d\n", hex2dec(len)
      else print "other"
      next
    }
    $1 == "control" && $3 == "0x52" && $5 == "0x0002" { print "mode-on"; next }
    $1 == "control" && $3 == "0x52" && $5 == "0x0000" { print "mode-off"; next }
    $1 == "control" && $3 == "0x40" && $4 == "0x6400" { print "keep-alive"; next }
    $1 == "set_configuration" { print "set-config"; next }
    $1 == "claim_interface" { print "claim"; next }
    $1 == "close" || $1 == "reset" { print $1; next }
    $1 == "error" { print "error"; next }
    { print "other" }
  ' "$WORK/transcript.txt" | tr '\n' ' '
}

# claims_made: how many times the host claimed the capture interface.
claims_made() {
  grep -c '^claim_interface' "$WORK/transcript.txt" 2>/dev/null || true
}

wait_for_claims() {
  local deadline=$((SECONDS + $2))
  until [[ $(claims_made) -ge $1 ]]; do
    [[ $SECONDS -lt $deadline ]] || fail "only $(claims_made) connections made within $2 s"
    sleep 0.2
  done
}

resident_kib() {
  awk '/^VmRSS:/ { print $2 }' "/proc/$PROGRAM_PID/status"
}
