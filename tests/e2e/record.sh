#!/usr/bin/env bash
# Screenshots and recordings, checked with FFmpeg. Usage: record.sh <case>
source "$(dirname "$0")/lib.sh"

# run_with <scenario> <stream> <arguments after the UDID...>: the log in $WORK/log${RUN_TAG}.txt.
run_with() {
  SDL_AUDIODRIVER=dummy VELTRONA_LOG="$WORK/log${RUN_TAG:-}.txt" run_program "$1" "$2" "$UDID" "${@:3}"
}

# decodes_cleanly <file>: FFmpeg reads the whole file without an error; a
# file cut short by a kill may end in a partial block, which is all it may say.
decodes_cleanly() {
  ffmpeg -v error -nostdin -i "$1" -fps_mode passthrough -enc_time_base -1 -f null - 2>"$WORK/decode.txt"
  ! grep -v 'File ended prematurely\|truncat' "$WORK/decode.txt" | grep . >&2 ||
    fail "FFmpeg found errors in $1"
}

# same_picture <a.png> <b.png>: not one pixel differs.
same_picture() { [[ $({ compare -metric AE "$1" "$2" null: 2>&1 || true; }) == 0 ]]; }

# in_order <file>: no packet comes more than a second after one with a later time.
in_order() {
  ffprobe -v error -show_entries packet=pts_time -of csv=p=0 "$1" |
    awk '$1 > max { max = $1 } max - $1 > worst { worst = max - $1 }
         END { print "worst disorder " worst + 0 " s"; exit !(NR > 0 && worst <= 1) }' ||
    fail "$1 is out of order"
}

# end_of <file> <v|a>: where the stream's last packet ends, in seconds.
end_of() {
  ffprobe -v error -select_streams "$2" -show_entries packet=pts_time,duration_time -of csv=p=0 "$1" |
    awk -F, '{ e = $1 + $2 } END { print e }'
}

# tone_end <file>: where the tone stops (the silence after it starts).
tone_end() {
  ffmpeg -nostdin -i "$1" -af silencedetect=n=-30dB:d=0.05 -f null - 2>&1 |
    awk -v end="$(end_of "$1" a)" '/silence_start/ { s = $NF }
      /silence_end/ { for (i = 1; i < NF; i++) if ($i == "silence_end:") e = $(i + 1); if (e < end - 0.05) s = "" }
      END { print (s == "" ? end : s) }'
}

# in_step <file> <seconds>: the pictures end within that of where the tone stops.
in_step() {
  awk -v v="$(end_of "$1" v)" -v a="$(tone_end "$1")" -v t="$2" 'BEGIN { d = v - a
    print "pictures end " d " s from the sound"; exit !(d < t && d > -t) }'
}

# tone_every_second <file> <from> <to>: the tone (-12 dBFS) sounds in every whole
# second between the times; a sliver (a second starting in the last half second,
# its border a few samples off by the file's millisecond times) is not judged.
tone_every_second() {
  ffmpeg -nostdin -i "$1" -ac 1 \
    -af "atrim=start=$2:end=$3,asetnsamples=n=48000:p=0,astats=metadata=1:reset=1,ametadata=print:key=lavfi.astats.Overall.RMS_level" \
    -f null - 2>&1 | awk -v end="$3" '/pts_time:/ { sub(/.*pts_time:/, ""); at = $1 + 0 }
      /RMS_level=/ { if (at > end - 0.5) next; sub(/.*=/, ""); n++; if ($0 == "-inf" || $0 + 0 < -20) bad++ }
      END { print n " seconds, " bad + 0 " without the tone"; exit !(n >= 1 && bad == 0) }' ||
    fail "the sound is missing from some second of $1"
}

# The stream's last picture as FFmpeg decodes it, converted as the program does (nearest-neighbour chroma).
last_picture() {
  ffmpeg -v error -nostdin -y -i "$1" -sws_flags neighbor -update 1 -f image2 "$2"
}

# Thirty moving pictures, then a still one that stays.
make_stream "$WORK/stream.h264" 320 240 1 0.034
start_xvfb
mkdir -p "$WORK/saved"

case $1 in
screenshot)
  # Before any picture: a notice, and no file.
  run_with capture "" --save-dir "$WORK/saved"
  window=$(window_id)
  xdotool windowfocus --sync "$window" key s
  wait_until 10 "the no-picture notice" 'logged "screenshot: no picture yet"'
  close_program
  [[ -z $(ls "$WORK/saved") ]] || fail "a screenshot was written without a picture"
  run_with capture+still "$WORK/stream.h264" --save-dir "$WORK/saved"
  window=$(window_id)
  wait_until 60 "the last picture" 'picture_shown "$window" "$WORK/stream.h264.png"'
  xdotool windowfocus --sync "$window" key s key s
  wait_until 20 "two screenshots" '[[ $(ls "$WORK/saved" | grep -c "\.png$") == 2 ]]'
  close_program
  ls "$WORK/saved" | grep -qE '^Veltrona [0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}\.[0-9]{2}\.[0-9]{2}( \(2\))?\.png$' ||
    fail "not named by the date and time"
  last_picture "$WORK/stream.h264" "$WORK/expected.png"
  for shot in "$WORK"/saved/*.png; do
    [[ $(identify -format '%wx%h' "$shot") == 320x240 ]] || fail "not at the device's size"
    same_picture "$shot" "$WORK/expected.png" || fail "$shot is not the decoded picture"
  done
  ;;
record)
  # Headless: no display at all; the tone for the sound; SIGINT ends it.
  DISPLAY= run_with capture+still+tone:hz=1000 "$WORK/stream.h264" --no-window --record "$WORK/saved/all.mkv"
  total=$(pictures_in "$WORK/stream.h264")
  wait_until 60 "the $total pictures" '[[ $(needs_sent) -ge $total ]]'
  sleep 3
  kill -INT "$PROGRAM_PID"
  ended_with 0
  logged "record: saved" || fail "no saved line in the log"
  decodes_cleanly "$WORK/saved/all.mkv"
  count=$(pictures_in "$WORK/saved/all.mkv")
  [[ $count == "$total" ]] || fail "$count pictures, not $total"
  last_picture "$WORK/saved/all.mkv" "$WORK/last.png"
  last_picture "$WORK/stream.h264" "$WORK/expected.png"
  same_picture "$WORK/last.png" "$WORK/expected.png" || fail "the last picture differs"
  # The still picture holds its place: the file lasts until the end.
  duration=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$WORK/saved/all.mkv")
  awk -v d="$duration" 'BEGIN { exit !(d > 3.5) }' || fail "the file lasts $duration s"
  tone_every_second "$WORK/saved/all.mkv" 0 1  # while the device sent it
  ;;
kill)
  for extension in mkv mp4; do
    run_with capture "$WORK/stream.h264" --record "$WORK/saved/killed.$extension"
    wait_until 60 "the recording" 'logged "record: recording into"'
    needs=$(needs_sent)
    wait_until 60 "90 pictures more" '[[ $(needs_sent) -ge $((needs + 90)) ]]'
    sent=$(needs_sent)
    kill -KILL "$PROGRAM_PID" && ended_with 137
    decodes_cleanly "$WORK/saved/killed.$extension"
    count=$(pictures_in "$WORK/saved/killed.$extension")
    echo "$extension: $count pictures of about $sent"
    [[ $count -ge $((sent - needs - 60)) ]] || fail "more than two seconds lost from the $extension"
  done
  ;;
key)
  # A --record file that cannot be created is said once, and mirroring goes
  # on; R then records into the save folder.
  run_with capture "$WORK/stream.h264" --save-dir "$WORK/saved" --record "$WORK/no such folder/x.mkv"
  window=$(window_id)
  wait_until 30 "the log line" 'logged "cannot be created"'
  wait_until 60 "45 pictures" '[[ $(needs_sent) -ge 45 ]]'
  xdotool windowfocus --sync "$window" key r
  wait_until 10 "the recording" 'logged "record: recording into"'
  needs=$(needs_sent)
  wait_until 60 "30 pictures more" '[[ $(needs_sent) -ge $((needs + 30)) ]]'
  xdotool windowfocus --sync "$window" key r
  wait_until 10 "the saved recording" 'logged "record: saved"'
  close_program
  [[ $(grep -c "cannot be created" "$WORK/log.txt") == 1 ]] || fail "not one log line"
  file=$(ls "$WORK"/saved/*.mkv)
  decodes_cleanly "$file"
  ffmpeg -v error -nostdin -xerror -i "$file" -frames:v 1 -f image2 "$WORK/first.png" ||
    fail "the first picture does not decode"
  ;;
reconnect)
  # Ten seconds unplugged: the same file goes on, in order, holding the time without the device.
  run_with "capture+tone:hz=1000+unplug:frames=40,replug_ms=10000" "$WORK/stream.h264" \
    --record "$WORK/saved/re.mkv"
  wait_until 60 "a second connection" '[[ $(claims_made) -ge 2 ]]'
  needs=$(needs_sent)
  wait_until 60 "30 pictures after it" '[[ $(needs_sent) -ge $((needs + 30)) ]]'
  close_program
  decodes_cleanly "$WORK/saved/re.mkv"
  in_order "$WORK/saved/re.mkv"
  count=$(pictures_in "$WORK/saved/re.mkv")
  # 40, and 29 after it (the first of those 30 NEEDs answers the cvrp request).
  [[ $count -ge 69 ]] || fail "$count pictures: the file did not go on after the reconnect"
  ffprobe -v error -select_streams v -show_entries packet=pts_time -of csv=p=0 "$WORK/saved/re.mkv" |
    awk 'NR > 1 && $1 - last > max { max = $1 - last } { last = $1 }
      END { print "gap " max " s"; exit !(max > 9.5 && max < 14) }' || fail "the gap is not about 10 s"
  ;;
glitch)
  # One picture 3 s ahead, then a picture clock 3 s back: the sound stays, the pictures with it.
  for error in "at=60,by=3000" "at=60,by=-3000,step=1"; do
    rm -f "$WORK/saved/glitch.mkv" "$WORK/log.txt" "$WORK/transcript.txt"
    run_with "capture+tone:hz=1000+time-error:kind=video,$error" "$WORK/stream.h264" \
      --record "$WORK/saved/glitch.mkv"
    wait_until 60 "the recording" 'logged "record: recording into"'
    wait_until 60 "150 pictures" '[[ $(needs_sent) -ge 150 ]]'
    close_program
    decodes_cleanly "$WORK/saved/glitch.mkv"
    in_order "$WORK/saved/glitch.mkv"
    tone_every_second "$WORK/saved/glitch.mkv" 0.5 4.5
    in_step "$WORK/saved/glitch.mkv" 0.2 || fail "$error: the pictures are out of step"
  done
  ;;
clean)
  run_with "capture+tone:hz=1000" "$WORK/stream.h264" --record "$WORK/saved/clean.mkv"
  wait_until 60 "the recording" 'logged "record: recording into"'
  needs=$(needs_sent)
  sleep 120
  sent=$(($(needs_sent) - needs))
  close_program
  in_order "$WORK/saved/clean.mkv"
  echo "$sent pictures in 120 s (the phone drops those a loaded host asks for too late)"
  in_step "$WORK/saved/clean.mkv" 0.1 || fail "the pictures drifted from the sound"
  ;;
two)
  # Two programs asked for one name: two files, each whole.
  run_with capture "$WORK/stream.h264" --record "$WORK/saved/clip.mkv"
  first=$PROGRAM_PID
  RUN_TAG=2 run_with capture "$WORK/stream.h264" --record "$WORK/saved/clip.mkv"
  wait_until 60 "both recording" 'logged "record: recording into" && grep -q "recording into" "$WORK/log2.txt"'
  sleep 3
  close_program
  PROGRAM_PID=$first
  close_program
  for file in "clip.mkv" "clip (2).mkv"; do
    decodes_cleanly "$WORK/saved/$file"
    [[ $(pictures_in "$WORK/saved/$file") -ge 30 ]] || fail "$file holds too few pictures"
  done
  ;;
esac
expect_no_protocol_errors
echo "PASS $1"
