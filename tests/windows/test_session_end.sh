#!/bin/bash
# Installed, logging, recording (MP4, simulated tone) and saving (S) in a folder
# named outside the ANSI code page; window_probe ends the session and the
# process: the recording plays whole (pictures, PCM, a duration), the PNG has
# the device's size, the phone is switched back, the log says so. At 96 DPI
# the window is 900x650.
. "$szHere/lib.sh"
szDir="$szWork/Пользователь Ñandú/Veltrona iOS"
Install "$szDir"
mkdir -p "$szDir/Vídeos"
szRecording="$szDir/Vídeos/grabación.mp4"
VELTRONA_SIM_SCENARIO="capture+tone:hz=1000" VELTRONA_LOG="$(WinPath "$szDir/registro de sesión.txt")" \
  StartMirror ending 192 416 "$szDir/veltrona.exe" "$UDID" --record "$(WinPath "$szRecording")" \
  --save-dir "$(WinPath "$szDir/Vídeos")"
WindowSizeIs 900x650
wait_until 60 "the picture" 'picture_shown "$nWindow" "$WORK/stream.h264.png"'
xdotool windowfocus --sync "$nWindow" key s
wait_until 30 "the screenshot" 'ls "$szDir/Vídeos" | grep -q "\.png$"'
sleep 2
wine "$szBuild/tests/windows/window_probe.exe" end-session >"$szWork/probe.out" 2>&1
grep -q '^query 1, killed 1' "$szWork/probe.out" || fail "the probe: $(cat "$szWork/probe.out")"
wait_until 30 "the end of the process" "[ -f '$szWork/ending.rc' ]"

SwitchedBack ending || fail "the phone was not switched back"
szErrors=$(ffmpeg -v error -nostdin -i "$szRecording" -fps_mode passthrough -enc_time_base -1 -f null - 2>&1) || fail "FFmpeg cannot read it"
[ -z "$szErrors" ] || fail "FFmpeg found errors in the recording: $szErrors"
Probe() { ffprobe -v error "${@:2}" -of csv=p=0 "$1"; }
nPictures=$(pictures_in "$szRecording")
[ "$nPictures" -ge 30 ] || fail "only $nPictures pictures recorded"
[ "$(Probe "$szRecording" -select_streams a -show_entries stream=codec_name)" = pcm_s16le ] ||
  fail "no PCM sound in the recording"
szDuration=$(Probe "$szRecording" -show_entries format=duration)
awk -v d="$szDuration" 'BEGIN { exit !(d > 1) }' || fail "the recording lasts '$szDuration'"
[ "$(identify -format '%wx%h' "$szDir"/Vídeos/*.png)" = 192x416 ] || fail "the PNG is not 192x416"
tr -d '\r' <"$szDir/registro de sesión.txt" >"$WORK/log.txt"
for szLine in "power: keeping the display on" "record: saved" "session: stopped"; do
  grep -q "$szLine" "$WORK/log.txt" || fail "no \"$szLine\" in the log"
done
echo "$nPictures pictures, $szDuration s; $(tr -d '\r' <"$szWork/probe.out")"
