#!/bin/bash
# The program installed as a user would have it (a folder whose path holds
# spaces, the stub name tool in Frameworks\) against the simulated device: the
# picture letter-boxed in the Win32 window, also after a resize; in the
# device's transcript the activation and, after the window is closed, the stop
# sequence; exit code 0; the log VELTRONA_LOG asks for, in UTF-8. Wine here has
# no sound device: the program mirrors all the same.
. "$szHere/lib.sh"
szDir="$szWork/Program Files/Veltrona iOS"
mkdir -p "$szDir/Frameworks"
cp "$szBuild"/veltrona.exe "$szBuild"/*.dll "$szDir/"
cp "$szBuild/tests/windows/ideviceinfo.exe" "$szDir/Frameworks/"
# Taller than the window: bars left and right, after the resize above and below.
make_stream "$WORK/stream.h264" 192 416 1 2
VELTRONA_SIM_STREAM="$(WinPath "$WORK/stream.h264")" VELTRONA_SIM_SERIAL="$SERIAL" \
  VELTRONA_SIM_TRANSCRIPT="$(WinPath "$szWork/transcript.txt")" \
  VELTRONA_LOG="$(WinPath "$szWork/log.txt")" \
  StartWine mirror "$szDir/veltrona.exe" "$UDID" ignored  # a second argument is ignored
nWindow="$(FindWindow 'Veltrona - iOS')" || fail "no mirror window"
wait_until 60 "the picture" 'picture_shown "$nWindow" "$WORK/stream.h264.png"'
xdotool windowsize --sync "$nWindow" 400 1000
wait_until 60 "the picture at 400x1000" 'picture_shown "$nWindow" "$WORK/stream.h264.png"'
CloseWindow "$nWindow" alt+F4
EndedWith mirror 0

# The simulated device writes its transcript in text mode: CRLF on Windows.
tr -d '\r' <"$szWork/transcript.txt" >"$WORK/transcript.txt"
expect_no_protocol_errors
start=$(grep -v '^bulk_write' "$WORK/transcript.txt" | head -n 4 | sed 's/ [0-9]*$//' | tr '\n' '|')
[[ $start == "control 0x40 0x52 0x0000 0x0002|close|set_configuration|claim_interface|" ]] ||
  fail "activation: not mode on (wIndex 2), reopen, configuration, claim"
[[ $(needs_sent) -gt 0 ]] || fail "no video asked for with NEED packets"
stop=$(tail -n 2 "$WORK/transcript.txt" | tr '\n' '|')
[[ $stop == "control 0x40 0x52 0x0000 0x0000 0|close|" ]] ||
  fail "the transcript does not end with mode off (wIndex 0), then close"
tr -d '\r' <"$szWork/log.txt" >"$WORK/log.txt"
iconv -f UTF-8 -t UTF-8 "$WORK/log.txt" >/dev/null || fail "the log is not UTF-8"
grep -qx ' *[0-9]* 投屏中\.\.\.' "$WORK/log.txt" || fail "no capturing line in the log"
grep -m1 '^ *[0-9]* audio' "$WORK/log.txt" || true  # the sound device, or its absence
echo "PASS"
