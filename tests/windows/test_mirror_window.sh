#!/bin/bash
# The program installed as a user would have it (a folder whose path holds
# spaces, the stub name tool in Frameworks\) against the simulated device, at
# 150 % (LogPixels 144, which Wine honours): the window opens at 1.5 times
# 900x650, the picture letter-boxed exactly in it, also after a resize; S makes
# the missing Pictures folder (Wine links it to $HOME); in the transcript the
# activation and, after the close, the stop sequence; exit code 0; the log
# VELTRONA_LOG asks for, in UTF-8. Wine here has no sound device: the program
# mirrors all the same.
. "$szHere/lib.sh"
SetDpi() { wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f \
  >"$szWork/reg.out" 2>&1; }
SetDpi 144
trap 'SetDpi 96; cleanup' EXIT
szDir="$szWork/Program Files/Veltrona iOS"
Install "$szDir"
szPictures="$WINEPREFIX/drive_c/users/$(id -un)/Pictures"
rm -rf "$szPictures" && mkdir -p "$WORK/home"
# Taller than the window: bars left and right, after the resize above and below.
HOME="$WORK/home" VELTRONA_LOG="$(WinPath "$szWork/log.txt")" \
  StartMirror mirror 192 416 "$szDir/veltrona.exe" "$UDID" ignored  # a second argument is ignored
WindowSizeIs 1350x975
wait_until 60 "the picture" 'picture_shown "$nWindow" "$WORK/stream.h264.png"'
xdotool windowfocus --sync "$nWindow" key s
wait_until 30 "the screenshot in a new Pictures folder" 'ls "$szPictures/" 2>/dev/null | grep -q "\.png$"'
xdotool windowsize --sync "$nWindow" 400 1000
wait_until 60 "the picture at 400x1000" 'picture_shown "$nWindow" "$WORK/stream.h264.png"'
CloseWindow "$nWindow" alt+F4
EndedWith mirror 0

SwitchedBack mirror || fail "the transcript does not end with mode off (wIndex 0), then close"
expect_no_protocol_errors
start=$(grep -v '^bulk_write' "$WORK/transcript.txt" | head -n 4 | sed 's/ [0-9]*$//' | tr '\n' '|')
[[ $start == "control 0x40 0x52 0x0000 0x0002|close|set_configuration|claim_interface|" ]] ||
  fail "activation: not mode on (wIndex 2), reopen, configuration, claim"
[[ $(needs_sent) -gt 0 ]] || fail "no video asked for with NEED packets"
tr -d '\r' <"$szWork/log.txt" >"$WORK/log.txt"
iconv -f UTF-8 -t UTF-8 "$WORK/log.txt" >/dev/null || fail "the log is not UTF-8"
grep -qx ' *[0-9]* 投屏中\.\.\.' "$WORK/log.txt" || fail "no capturing line in the log"
grep -m1 '^ *[0-9]* audio' "$WORK/log.txt" || true  # the sound device, or its absence
echo "PASS"
