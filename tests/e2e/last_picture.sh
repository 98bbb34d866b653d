#!/usr/bin/env bash
# The last picture is on screen as soon as its sample has come, both when the
# phone then sends nothing more and when it goes away: then a dark band across
# the bottom twelfth says so, and above it the picture is as it was.
source "$(dirname "$0")/lib.sh"
start_xvfb

# band_shown <window> <still.png>: the picture above the band; in the band,
# light text and, in its bottom rows, the picture darkened.
band_shown() {
  picture_shown "$1" "$2" band && import -window "$1" "$WORK/shot.png" || return 1
  local w h lit shot picture
  read -r w h < <(identify -format '%w %h\n' "$WORK/shot.png")
  lit=$(brightest "$WORK/shot.png" "x$((h / 12))+0+$((h - h / 12))")
  shot=$(convert "$WORK/shot.png" -crop "x2+0+$((h - 2))" +repage -format '%[fx:mean]' info:)
  picture=$(convert "$2" -resize "${w}x$h!" -crop "x2+0+$((h - 2))" +repage -format '%[fx:mean]' info:)
  echo "band: text up to $lit; bottom rows $shot, the picture's $picture"
  awk -v l="$lit" -v a="$shot" -v b="$picture" 'BEGIN { exit !(l > 0.9 && a < 0.75 * b) }'
}

# Thirty moving pictures, then the one to be seen, of the window's shape (the band lies across it).
make_stream "$WORK/stream.h264" 900 650 1 0.03
for scenario in capture+still "capture+unplug:frames=31"; do
  run_program "$scenario" "$WORK/stream.h264"
  the_window
  shown=$([[ $scenario == *unplug* ]] && echo band_shown || echo picture_shown)
  wait_until 60 "the last picture ($scenario)" '$shown "$window" "$WORK/stream.h264.png"'
  close_program
  expect_no_protocol_errors
done
echo "PASS last picture shown with still, and above the band after an unplug"
