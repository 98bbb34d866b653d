#!/bin/bash
# The Win32 window with no device of its UDID on the bus: the status line is
# drawn (GDI text in the double-buffered paint) and, after 5 s, the hint below
# it; F11 makes the window borderless over the whole screen, and F11 again
# gives back the window's place and size.
. "$szHere/lib.sh"

VELTRONA_SIM_SERIAL=00008101000A1B2C3D4E5F61 VELTRONA_SIM_TRANSCRIPT="$(WinPath "$szWork/t.txt")" \
  StartWine status "$szBuild/veltrona.exe" "$UDID"
nWindow="$(FindWindow 'Veltrona - iOS')" || fail "no mirror window"
read -r nWidth nHeight < <(window_size "$nWindow" | tr x ' ')
nMiddle=$((nHeight / 2))
wait_until 30 "the status line" "lit $nWindow $((nWidth - 40))x40+20+$((nMiddle - 45))"
wait_until 30 "the hint line" "lit $nWindow $((nWidth - 40))x40+20+$((nMiddle + 2))"

read -r nScreenWidth nScreenHeight < <(xdotool getdisplaygeometry)
CloseWindow "$nWindow" F11
wait_until 20 "full screen" '[[ $(window_size "$nWindow") == ${nScreenWidth}x$nScreenHeight ]]'
wait_until 20 "the status in full screen" \
  "lit $nWindow $((nScreenWidth - 80))x40+40+$((nScreenHeight / 2 - 45))"
CloseWindow "$nWindow" F11
wait_until 20 "the window back" '[[ $(window_size "$nWindow") == "${nWidth}x${nHeight}" ]]'
CloseWindow "$nWindow" alt+F4
EndedWith status 0
echo "PASS"
