#!/usr/bin/env bash
# --list shows control bytes from the device as "?", needing no display. A hung
# name tool holds up nothing (the first NEED goes out while it hangs; with the
# log off it never runs), nor does a phone that takes no more data after 40
# packets (writes give up after a second, keep-alives go on); SIGTERM ends the
# program (and the tool) within 3.5 s. SIGHUP ends it as SIGTERM does, without
# a window (the recording closed) and with one; the phone is switched back.
source "$(dirname "$0")/lib.sh"
export PATH="$WORK/bin:$PATH"
mkdir "$WORK/bin" "$WORK/videos"
name_tool() { # <body>: the name tool on PATH; it notes its pid first
  printf '#!/bin/sh\necho $$ >>"%s"\n%s\n' "$WORK/tool.pids" "$1" >"$WORK/bin/ideviceinfo"
  chmod +x "$WORK/bin/ideviceinfo" && rm -f "$WORK/tool.pids"
}
mode_off_sent() { grep -qE '^control 0x40 0x52 0x0000 0x0000' "$WORK/transcript.txt"; }

name_tool "printf 'iPhone\\302\\233[2J de Ana\\n'"
DISPLAY= VELTRONA_SIM_SCENARIO=cold+raw-strings VELTRONA_SIM_SERIAL=$'0000810100\x9b[2JB2C3D4E5F6' \
  LD_PRELOAD="$PRELOAD" "$PROGRAM" --list >"$WORK/list.txt" || fail "--list: exit code $?"
[[ $(<"$WORK/list.txt") == "00008101-00?[2JB2C3D4E5F6  producto 0x12a8  captura de pantalla: "\
"desactivada  nombre: iPhone?[2J de Ana" ]] || fail "--list: $(cat -v "$WORK/list.txt")"

start_xvfb
make_stream "$WORK/stream.h264" 320 568 2 0
name_tool "printf 'iPhone\\233'; exec sleep 600"
VELTRONA_LOG="$WORK/log.txt" run_program "capture+hang-out:after=40" "$WORK/stream.h264"
wait_until 30 "the name tool to start" '[[ -s $WORK/tool.pids ]]'
tool_started=$EPOCHREALTIME tool=$(<"$WORK/tool.pids")
wait_until 30 "the first NEED" '[[ $(needs_sent) -ge 1 ]]'
first_need_s=$(seconds_since "$tool_started")
kill -0 "$tool" 2>/dev/null || fail "the first NEED waited for the name tool"
wait_until 30 "the phone to freeze" \
  '[[ $(grep -c ^bulk_write "$WORK/transcript.txt" 2>/dev/null) -gt 40 ]]'
wait_until 20 "two keep-alives after the freeze" \
  '[[ $(sed "1,/^bulk_write/d" "$WORK/transcript.txt" | grep -c "^control 0x40 0x40") -ge 2 ]]'
stop_within 3.5
! kill -0 "$tool" 2>/dev/null || fail "the name tool still runs"
# The log (VELTRONA_LOG): UTF-8 lines after their milliseconds, the name cleaned.
iconv -f UTF-8 -t UTF-8 "$WORK/log.txt" >/dev/null || fail "the log is not UTF-8"
grep -qx ' *[0-9]* 投屏中\.\.\.' "$WORK/log.txt" || fail "no capturing line in the log"
grep -qx ' *[0-9]* 设备名 : iPhone?' "$WORK/log.txt" || fail "the name is not in the log as it came"
if grep -vqE '^ *[0-9]+ ' "$WORK/log.txt"; then fail "a line without its milliseconds"; fi

name_tool "exec sleep 600"
run_program capture "$WORK/stream.h264" "$UDID" --no-window --record "$WORK/videos"
wait_until 30 "30 pictures" '[[ $(needs_sent) -ge 30 ]]'
kill -HUP "$PROGRAM_PID" && ended_with 0
mode_off_sent || fail "no mode-off after SIGHUP without a window"
[[ ! -e $WORK/tool.pids ]] || fail "the name tool ran with the log off"
file=$(find "$WORK/videos" -name 'Veltrona *.mkv')
frames=$(pictures_in "$file") && [[ $frames -ge 20 ]] || fail "the recording: '$file' $frames pictures"

run_program capture "$WORK/stream.h264"
wait_until 30 "the first NEED" '[[ $(needs_sent) -ge 1 ]]'
kill -HUP "$PROGRAM_PID" && ended_with 0
mode_off_sent || fail "no mode-off after SIGHUP with a window"
echo "PASS first NEED $first_need_s s after the hung tool started, SIGTERM: ended in $STOP_S s;" \
  "SIGHUP: $frames pictures in $(basename "$file")"
