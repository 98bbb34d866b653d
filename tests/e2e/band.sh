#!/usr/bin/env bash
# The device goes away with a picture on screen: the picture stays, and a dark
# band across its bottom (at most 1/12 of the window's height) says so; above
# the band the picture is as it was.
source "$(dirname "$0")/lib.sh"
start_xvfb

# band_shown <window> <still.png>: the letter-boxed still picture above the
# band (the bars black), and the band darker than the picture with light text.
band_shown() {
  import -window "$1" "$WORK/shot.png" || return 1
  local cw ch band mae_above mean_shot mean_expected
  read -r cw ch < <(identify -format '%w %h\n' "$WORK/shot.png")
  band=$((ch / 12))
  picture_shown "$1" "$2" >/dev/null  # leaves the expected picture in expected.png
  convert "$WORK/shot.png" -crop "${cw}x$((ch - band))+0+0" +repage "$WORK/shot-above.png"
  convert "$WORK/expected.png" -crop "${cw}x$((ch - band))+0+0" +repage "$WORK/expected-above.png"
  mae_above=$({ compare -metric MAE "$WORK/shot-above.png" "$WORK/expected-above.png" null: 2>&1 ||
    true; } | sed -E 's/.*\((.*)\).*/\1/')
  echo "above the band: mean absolute error $mae_above"
  awk -v m="$mae_above" 'BEGIN { exit !(m < 0.02) }' || return 1
  # Within the band: text lit somewhere, and darker than the picture where it is not.
  local lit
  lit=$(convert "$WORK/shot.png" -crop "${cw}x${band}+0+$((ch - band))" +repage -format '%[fx:maxima]' info:)
  awk -v l="$lit" 'BEGIN { exit !(l > 0.9) }' || return 1
  mean_shot=$(convert "$WORK/shot.png" -crop "${cw}x2+0+$((ch - 2))" +repage -format '%[fx:mean]' info:)
  mean_expected=$(convert "$WORK/expected.png" -crop "${cw}x2+0+$((ch - 2))" +repage -format '%[fx:mean]' info:)
  echo "bottom rows: mean $mean_shot, the picture's $mean_expected"
  awk -v a="$mean_shot" -v b="$mean_expected" 'BEGIN { exit !(a < 0.75 * b) }'
}

# A picture of the window's own shape: the band lies across it.
make_stream "$WORK/wide.h264" 900 650 1 5
run_program "capture+unplug:frames=90" "$WORK/wide.h264"
window=$(window_id)
[[ -n $window ]] || fail "no window"
wait_until 60 "the band after the unplug" 'band_shown "$window" "$WORK/wide.h264.png"'
close_program
echo "PASS the band after an unplug"
