#!/bin/bash
# At 150 % (LogPixels 144, which Wine honours): the window opens at 1.5 times
# 900x650 and the picture is letter-boxed exactly in its client area. The
# user's Pictures folder is missing: S makes it (Wine links it to $HOME).
. "$szHere/lib.sh"
SetDpi() { wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f \
  >"$szWork/reg.out" 2>&1; }
SetDpi 144
trap 'SetDpi 96; cleanup' EXIT
make_stream "$WORK/stream.h264" 416 192 1 2
szPictures="$WINEPREFIX/drive_c/users/$(id -un)/Pictures"
rm -rf "$szPictures" && mkdir -p "$WORK/home"
HOME="$WORK/home" VELTRONA_SIM_STREAM="$(WinPath "$WORK/stream.h264")" VELTRONA_SIM_SERIAL="$SERIAL" \
  VELTRONA_SIM_TRANSCRIPT="$(WinPath "$szWork/dpi-transcript.txt")" \
  StartWine dpi "$szBuild/veltrona.exe" "$UDID" --no-audio
nWindow="$(FindWindow 'Veltrona - iOS')" || fail "no mirror window"
wine "$szBuild/tests/windows/window_probe.exe" size >"$szWork/size144.out" 2>&1
grep -q '^window 1350x975 ' "$szWork/size144.out" || fail "at 144 DPI: $(cat "$szWork/size144.out")"
wait_until 60 "the picture" 'picture_shown "$nWindow" "$WORK/stream.h264.png"'
xdotool windowfocus --sync "$nWindow" key s
wait_until 30 "the screenshot in a new Pictures folder" 'ls "$szPictures/" 2>/dev/null | grep -q "\.png$"'
CloseWindow "$nWindow" alt+F4
EndedWith dpi 0
cat "$szWork/size144.out"
