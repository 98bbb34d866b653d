#!/bin/bash
# The Win32 window with no device of its UDID on the bus: the status line is
# drawn (GDI text in the double-buffered paint) and, after 5 s, the hint below
# it; F11 makes the window borderless over the whole screen, and F11 again
# gives back the window's place and size.
. "$szHere/lib.sh"

# Lit WINDOW WxH+X+Y : whether anything in that part of the window is not black.
Lit() {
  import -window "$1" "$WORK/lit.png" &&
    [[ $(convert "$WORK/lit.png" -crop "$2" +repage -format '%[fx:maxima]' info:) != 0 ]]
}
Size() { if [[ $1 == root ]]; then xwininfo -root; else xwininfo -id "$1"; fi | awk '/Width:/ {w = $2} /Height:/ {h = $2} END {print w "x" h}'; }

VELTRONA_SIM_SERIAL=00008101000A1B2C3D4E5F61 VELTRONA_SIM_TRANSCRIPT="$(WinPath "$szWork/t.txt")" \
  StartWine status "$szBuild/veltrona.exe" "$UDID"
nWindow="$(FindWindow 'Veltrona - iOS')" || fail "no mirror window"
read -r nWidth nHeight < <(Size "$nWindow" | tr x ' ')
nMiddle=$((nHeight / 2))
wait_until 30 "the status line" "Lit $nWindow $((nWidth - 40))x40+20+$((nMiddle - 45))"
wait_until 30 "the hint line" "Lit $nWindow $((nWidth - 40))x40+20+$((nMiddle + 2))"

read -r nScreenWidth nScreenHeight < <(Size root | tr x ' ')
CloseWindow "$nWindow" F11
wait_until 20 "full screen" '[[ $(Size "$nWindow") == ${nScreenWidth}x$nScreenHeight ]]'
wait_until 20 "the status in full screen" \
  "Lit $nWindow $((nScreenWidth - 80))x40+40+$((nScreenHeight / 2 - 45))"
CloseWindow "$nWindow" F11
wait_until 20 "the window back" '[[ $(Size "$nWindow") == "${nWidth}x${nHeight}" ]]'
CloseWindow "$nWindow" alt+F4
EndedWith status 0
echo "PASS"
