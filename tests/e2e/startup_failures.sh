#!/usr/bin/env bash
# Start-up refusals: the message box with its text (also on standard error),
# no mirror window, and exit code 2 once it is dismissed; without a display,
# exit code 3 with the reason on standard error.
source "$(dirname "$0")/lib.sh"

# SDL's message box is found by its name with xwininfo (not xdotool search).
box_id() { xwininfo -name "Veltrona iOS" 2>/dev/null | awk '/Window id:/ { print $4 }'; }

# expect_refusal <text> <arguments...>
expect_refusal() {
  LD_PRELOAD="$PRELOAD" "$PROGRAM" "${@:2}" >"$WORK/stdout.txt" 2>"$WORK/stderr.txt" &
  PROGRAM_PID=$!
  wait_until 40 "a box or the end" '[[ -n $(box_id) ]] || ! kill -0 $PROGRAM_PID 2>/dev/null'
  box=$(box_id)
  [[ -n $box ]] || fail "no message box for '$1': $(cat "$WORK/stderr.txt")"
  ! xwininfo -name "Veltrona - iOS" >/dev/null 2>&1 || fail "a mirror window came up"
  grep -qxF "$1" "$WORK/stderr.txt" || fail "standard error lacks '$1'"
  # A box mapped a moment ago may miss the key: pressed until the program ends.
  local deadline=$((SECONDS + 10))
  while kill -0 "$PROGRAM_PID" 2>/dev/null && [[ $SECONDS -lt $deadline ]]; do
    xdotool key --window "$box" Return 2>/dev/null || true
    sleep 0.5
  done
  ended_with 2
  echo "refused with '$1', exit code 2"
}

start_xvfb
expect_refusal "Falta el UDID del dispositivo iOS."
expect_refusal "El UDID del dispositivo iOS no es valido." ""
expect_refusal "El UDID del dispositivo iOS no es valido." "$(printf 'a%.0s' {1..64})"
DISPLAY= run_program cold ""
ended_with 3
[[ -s "$WORK/stderr.txt" ]] || fail "no reason given on standard error without a display"
echo "PASS startup failures; no display: $(head -n 1 "$WORK/stderr.txt")"
