#!/bin/bash
# Recording and a screenshot on Windows: --record into an MP4 with the
# simulated tone, S with --save-dir; after the window is closed, Linux's
# FFmpeg reads the file without an error (pictures and the PCM sound) and the
# PNG has the device's size.
. "$szHere/lib.sh"
make_stream "$WORK/stream.h264" 192 416 1 2
mkdir -p "$WORK/saved"
VELTRONA_SIM_STREAM="$(WinPath "$WORK/stream.h264")" VELTRONA_SIM_SERIAL="$SERIAL" \
  VELTRONA_SIM_SCENARIO="capture+tone:hz=1000" \
  VELTRONA_SIM_TRANSCRIPT="$(WinPath "$szWork/recording-transcript.txt")" \
  VELTRONA_LOG="$(WinPath "$szWork/recording-log.txt")" \
  StartWine recording "$szBuild/veltrona.exe" "$UDID" --record "$(WinPath "$WORK/saved/rec.mp4")" \
  --save-dir "$(WinPath "$WORK/saved")"
nWindow="$(FindWindow 'Veltrona - iOS')" || fail "no mirror window"
wait_until 60 "the picture" 'picture_shown "$nWindow" "$WORK/stream.h264.png"'
xdotool windowfocus --sync "$nWindow" key s
wait_until 30 "the screenshot" 'ls "$WORK/saved" | grep -q "\.png$"'
sleep 2
CloseWindow "$nWindow" alt+F4
EndedWith recording 0
tr -d '\r' <"$szWork/recording-log.txt" | grep 'record:\|screenshot:' || true
ls "$WORK/saved"
szErrors=$(ffmpeg -v error -nostdin -i "$WORK/saved/rec.mp4" -f null - 2>&1) || fail "FFmpeg cannot read it"
[ -z "$szErrors" ] || fail "FFmpeg found errors in the recording: $szErrors"
nPictures=$(ffprobe -v error -select_streams v -count_frames -show_entries stream=nb_read_frames \
  -of csv=p=0 "$WORK/saved/rec.mp4")
szSound=$(ffprobe -v error -select_streams a -show_entries stream=codec_name -of csv=p=0 \
  "$WORK/saved/rec.mp4")
[ "$nPictures" -ge 30 ] || fail "only $nPictures pictures recorded"
[ "$szSound" = pcm_s16le ] || fail "no PCM sound in the recording"
szShot=$(ls "$WORK"/saved/*.png | head -n 1)
[ "$(identify -format '%wx%h' "$szShot")" = 192x416 ] || fail "the screenshot is not 192x416"
echo "PASS"
