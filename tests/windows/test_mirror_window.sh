#!/bin/bash
# The program against the simulated device, installed as a user would have it
# (a folder whose path holds spaces, the name tool in Frameworks\): the picture
# letter-boxed in the window, the host's side of the exchange in the device's
# transcript, and a clean stop when the window is closed.
. "$szHere/lib.sh"

szDir="$szWork/Program Files/Veltrona iOS"
mkdir -p "$szDir/Frameworks"
cp "$szBuild"/veltrona.exe "$szBuild"/*.dll "$szDir/"
rm -f "$szDir/libveltrona-sim.dll"
cp "$szBuild/tests/windows/ideviceinfo.exe" "$szDir/Frameworks/"

# A still picture in four colours (R, G and B all differ, so a swapped channel
# shows), 192x416: taller than the window, so the bars are left and right.
convert -size 96x208 xc:'#d02020' xc:'#20c040' +append \
  \( -size 96x208 xc:'#2040e0' xc:'#e0d020' +append \) -append +repage "$szWork/still.png"
ffmpeg -v error -y -loop 1 -i "$szWork/still.png" -frames:v 30 -r 30 -c:v libx264 \
  -pix_fmt yuv420p -profile:v high -bf 0 -g 15 -f h264 "$szWork/still.h264"
# What the picture is after x264 and back: FFmpeg's own decode of the stream.
ffmpeg -v error -y -i "$szWork/still.h264" -update 1 "$szWork/decoded.png"

export VELTRONA_SIM_STREAM="$(WinPath "$szWork/still.h264")"
export VELTRONA_SIM_SERIAL=00008101000A1B2C3D4E5F60
export VELTRONA_SIM_TRANSCRIPT="$(WinPath "$szWork/transcript.txt")"
# A second argument is ignored.
StartWine mirror "$szDir/veltrona.exe" 00008101-000A1B2C3D4E5F60 ignored
nWindow="$(FindWindow 'Veltrona - iOS')"
Check "the mirror window appears" test -n "$nWindow"
[ -n "$nWindow" ] || Finish

read -r w h < <(identify -format '%w %h\n' "$szWork/decoded.png")

# Largest channel value in a region of the screenshot: 0 is pure black.
RegionMax() { convert "$szWork/shot.png" -crop "$1" +repage -format '%[max]' info:; }

BarsBlack() {
  local nRight=$((cw - x - dw)) nBottom=$((ch - y - dh))
  { [ "$x" -eq 0 ] || [ "$(RegionMax "${x}x${ch}+0+0")" = 0 ]; } &&
    { [ "$nRight" -eq 0 ] || [ "$(RegionMax "${nRight}x${ch}+$((x + dw))+0")" = 0 ]; } &&
    { [ "$y" -eq 0 ] || [ "$(RegionMax "${cw}x${y}+0+0")" = 0 ]; } &&
    { [ "$nBottom" -eq 0 ] || [ "$(RegionMax "${cw}x${nBottom}+0+$((y + dh))")" = 0 ]; }
}

# The fit rectangle against FFmpeg's decode scaled to it. Wine's HALFTONE
# resampling and ImageMagick's bilinear filter differ only along the colour
# edges, as do the program's point-sampled chroma and FFmpeg's PNG conversion:
# measured 0.007 normalised RMSE. The same picture one pixel off measures
# 0.045, with red and blue swapped 0.52, squashed by 4% 0.14; 0.03 lets a
# different resampler through and none of those.
PictureMatches() {
  convert "$szWork/shot.png" -crop "${dw}x${dh}+${x}+${y}" +repage "$szWork/drawn.png"
  convert "$szWork/decoded.png" -filter Triangle -resize "${dw}x${dh}!" "$szWork/expected.png"
  szRmse="$(compare -metric RMSE "$szWork/drawn.png" "$szWork/expected.png" null: 2>&1 |
    sed -n 's/.*(\(.*\)).*/\1/p')"
  awk -v e="$szRmse" 'BEGIN { exit !(e != "" && e < 0.03) }'
}

# CheckFit LABEL : the fit rectangle for the window's present client size
# (without a window manager the X window is the client area alone), then
# screenshots until the window shows it, within a bound that only keeps a
# broken program from hanging the run; the checks judge the last screenshot.
CheckFit() {
  read -r cw ch < <(xwininfo -id "$nWindow" | awk '/Width:/ {w = $2} /Height:/ {print w, $2}')
  read -r x y dw dh < <(awk -v cw="$cw" -v ch="$ch" -v w="$w" -v h="$h" 'BEGIN {
    rx = cw / w; ry = ch / h; s = rx < ry ? rx : ry
    dw = int(s * w); dh = int(s * h)
    print int((cw - dw) / 2), int((ch - dh) / 2), dw, dh }')
  echo "$1: client ${cw}x${ch}, picture ${w}x${h} drawn ${dw}x${dh} at $x,$y"
  local i
  for ((i = 0; i < 120; ++i)); do
    import -window "$nWindow" "$szWork/shot.png" 2>/dev/null && BarsBlack && PictureMatches && break
    sleep 0.5
  done
  cp "$szWork/shot.png" "$szWork/shot-$1.png"
  Check "$1: the bars beside the fit rectangle are black" BarsBlack
  Check "$1: the fit rectangle holds the stream's picture" PictureMatches
  echo "$1: normalised RMSE $szRmse"
}

CheckFit opened
# Narrower than the picture's shape: now the bars are above and below.
xdotool windowsize --sync "$nWindow" 400 1000
CheckFit resized

CloseWindow "$nWindow"
Check "closing the window ends the program with exit code 0" test "$(ExitCode mirror)" = 0

# The transcript: one event a line, in the order the host caused them (the
# simulated device writes it in text mode: CRLF on Windows).
szTranscript="$szWork/transcript.lf"
tr -d '\r' <"$szWork/transcript.txt" >"$szTranscript"
# Four-character code at a byte offset of a packet in hex (stored reversed).
Code() {
  local szHex="${1:$(($2 * 2)):8}"
  printf "\\x${szHex:6:2}\\x${szHex:4:2}\\x${szHex:2:2}\\x${szHex:0:2}"
}
# The kind of each packet the host sent, with the sub-type for sync and asyn.
PacketKinds() {
  local szHex szKind
  while read -r _ _ szHex; do
    szKind="$(Code "$szHex" 4)"
    case "$szKind" in
      sync | asyn) echo "$szKind $(Code "$szHex" 16)" ;;
      *) echo "$szKind" ;;
    esac
  done < <(grep '^bulk_write ' "$szTranscript")
}
PacketKinds >"$szWork/kinds.txt"

Check "the device saw no malformed host packet" bash -c "! grep -q '^error' '$szTranscript'"
# The u32 length that opens each packet, little-endian, against its hex size.
Check "every packet's length field is its size" awk '/^bulk_write / {
  n = 0
  for (i = 8; i >= 1; --i) n = n * 16 + index("0123456789abcdef", substr($3, i + (i % 2 ? 1 : -1), 1)) - 1
  if (n * 2 != length($3)) bad = 1 } END { exit bad }' "$szTranscript"
ActivationInOrder() {
  [[ "$(grep -v '^bulk_write' "$szTranscript" | head -n 4 | tr '\n' '|')" =~ \
    ^"control 0x40 0x52 0x0000 0x0002 0|close|set_configuration "[0-9]+"|claim_interface "[0-9]+"|"$ ]]
}
Check "activation: mode on (wIndex 2), reopen, configuration, claim" ActivationInOrder
Check "the device's ping and cwpa are answered in order (ping, hpd1, hpd1, reply, hpa1)" test \
  "$(head -n 5 "$szWork/kinds.txt" | tr '\n' '|')" = "ping|asyn hpd1|asyn hpd1|rply|asyn hpa1|"
Check "video is asked for with NEED packets" grep -q '^asyn need$' "$szWork/kinds.txt"
Check "the stop sequence ends the transcript: mode off (wIndex 0), then close" test \
  "$(tail -n 2 "$szTranscript" | tr '\n' '|')" = "control 0x40 0x52 0x0000 0x0000 0|close|"
Finish
