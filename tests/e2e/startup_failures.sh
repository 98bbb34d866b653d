#!/usr/bin/env bash
# Start-up refusals: the message box with its text (also on standard error)
# and exit code 2; no display at all: exit code 3.
source "$(dirname "$0")/lib.sh"

# expect_refusal <expected text> <arguments...>
expect_refusal() {
  local text=$1
  shift
  LD_PRELOAD="$SIM_LIBRARY" "$PROGRAM" "$@" >"$WORK/stdout.txt" 2>"$WORK/stderr.txt" &
  PROGRAM_PID=$!
  # SDL's message box is found by its name with xwininfo (not xdotool search)
  # and answered with Return sent to that window.
  local box= deadline=$((SECONDS + 40))
  until [[ -n "$box" ]]; do
    if ! kill -0 "$PROGRAM_PID" 2>/dev/null; then
      wait_exit 1
      fail "the program ended ($EXIT_CODE) without a message box for '$text': $(cat "$WORK/stderr.txt")"
    fi
    [[ $SECONDS -lt $deadline ]] || fail "no message box for '$text': $(cat "$WORK/stderr.txt")"
    box=$(xwininfo -name "Veltrona iOS" 2>/dev/null | awk '/Window id:/ { print $4 }') || true
    sleep 0.2
  done
  if xwininfo -name "Veltrona - iOS" >/dev/null 2>&1; then fail "a mirror window came up"; fi
  grep -qxF "$text" "$WORK/stderr.txt" || fail "standard error lacks '$text'"
  xdotool key --window "$box" Return
  wait_exit 10
  [[ $EXIT_CODE == 2 ]] || fail "exit code $EXIT_CODE for '$text'"
  echo "refused with '$text', exit code 2"
}

start_xvfb
expect_refusal "Falta el UDID del dispositivo iOS."
expect_refusal "El UDID del dispositivo iOS no es valido." ""
expect_refusal "El UDID del dispositivo iOS no es valido." "$(printf 'a%.0s' {1..64})"

# Without a display no window can be made.
code=0
DISPLAY= LD_PRELOAD="$SIM_LIBRARY" "$PROGRAM" "$UDID" >"$WORK/stdout.txt" 2>"$WORK/stderr.txt" ||
  code=$?
[[ $code == 3 ]] || fail "exit code $code without a display"
[[ -s "$WORK/stderr.txt" ]] || fail "no reason given on standard error without a display"
echo "no display: exit code 3 ($(head -n 1 "$WORK/stderr.txt"))"
echo "PASS startup failures"
