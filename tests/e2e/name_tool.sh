#!/usr/bin/env bash
# A hung name tool holds up nothing: the first NEED goes out while it hangs,
# and SIGTERM ends the program within 3.5 s, the tool with it. Without the log
# the tool is not run. SIGHUP ends the program as SIGTERM does, with a window
# and without (the recording, into a folder, closed; the phone switched back).
# The command line refuses what it cannot mean; control bytes from the device
# show as "?".
source "$(dirname "$0")/lib.sh"
mode_off_sent() {
  awk '$1 == "control" && $3 != "0x40" && $5 != "0x0002" { f = 1 } END { exit !f }' \
    "$WORK/transcript.txt"
}
# name_tool <body>: the stand-in name tool on PATH; it notes its pid first.
name_tool() {
  mkdir -p "$WORK/bin"
  printf '#!/bin/sh\necho $$ >>"%s"\n%s\n' "$WORK/tool.pids" "$1" >"$WORK/bin/ideviceinfo"
  chmod +x "$WORK/bin/ideviceinfo"
}
export PATH="$WORK/bin:$PATH"

"$PROGRAM" "$UDID" --record --no-audio >/dev/null 2>"$WORK/stderr.txt" && fail "--record --no-audio ran"
[[ $? == 2 ]] && grep -qx 'Falta el valor de la opción --record' "$WORK/stderr.txt" &&
  grep -q '^Uso: ' "$WORK/stderr.txt" || fail "no usage for a missing value"
name_tool "printf 'iPhone\\302\\233[2J de Ana\\n'"
VELTRONA_SIM_SCENARIO=cold+raw-strings VELTRONA_SIM_SERIAL=$'0000810100\x9b[2JB2C3D4E5F6' \
  LD_PRELOAD="$PRELOAD" "$PROGRAM" --list >"$WORK/list.txt" || fail "--list: exit code $?"
grep -qxF "00008101-00?[2JB2C3D4E5F6  producto 0x12a8  captura de pantalla: desactivada  nombre: iPhone?[2J de Ana" \
  "$WORK/list.txt" || fail "--list: $(cat -v "$WORK/list.txt")"

start_xvfb
make_stream "$WORK/stream.h264" 320 568 2 0
rm -f "$WORK/tool.pids"
name_tool "printf 'iPhone\\233'; exec sleep 600"
VELTRONA_LOG="$WORK/log.txt" run_program capture "$WORK/stream.h264"
wait_until 30 "the name tool to start" '[[ -s $WORK/tool.pids ]]'
tool_started=$EPOCHREALTIME tool=$(head -n 1 "$WORK/tool.pids")
wait_until 30 "the first NEED" '[[ $(needs_sent) -ge 1 ]]'
first_need_s=$(seconds_since "$tool_started")
kill -0 "$tool" 2>/dev/null || fail "the first NEED waited for the name tool"
time_stop
[[ $EXIT_CODE == 0 ]] || fail "exit code $EXIT_CODE"
awk -v s="$STOP_S" 'BEGIN { exit !(s < 3.5) }' || fail "ended $STOP_S s after SIGTERM"
! kill -0 "$tool" 2>/dev/null || fail "the name tool still runs"
grep -qx ' *[0-9]* 设备名 : iPhone?' "$WORK/log.txt" || fail "the name is not in the log as it came"
echo "first NEED $first_need_s s after the hung tool started; SIGTERM: ended in $STOP_S s"

rm -f "$WORK/tool.pids"
mkdir "$WORK/videos"
run_program capture "$WORK/stream.h264" "$UDID" --no-window --record "$WORK/videos"
wait_until 30 "30 pictures" '[[ $(needs_sent) -ge 30 ]]'
kill -HUP "$PROGRAM_PID"
ended_with 0
mode_off_sent || fail "no mode-off after SIGHUP without a window"
[[ ! -e $WORK/tool.pids ]] || fail "the name tool ran with the log off"
file=$(find "$WORK/videos" -name 'Veltrona *.mkv')
[[ -n $file ]] || fail "no recording in the folder: $(ls "$WORK"/videos)"
frames=$(ffprobe -v error -select_streams v -count_frames -show_entries stream=nb_read_frames \
  -of csv=p=0 "$file")
[[ $frames -ge 20 ]] || fail "the recording has $frames pictures"

run_program capture "$WORK/stream.h264"
wait_until 30 "the first NEED" '[[ $(needs_sent) -ge 1 ]]'
kill -HUP "$PROGRAM_PID"
ended_with 0
mode_off_sent || fail "no mode-off after SIGHUP with a window"
echo "PASS name tool, SIGHUP ($frames pictures in $(basename "$file")), command line, device strings"
