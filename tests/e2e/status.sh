#!/usr/bin/env bash
# With no picture the window says what the program does: searching for the
# UDID, then why it may not be found (here: a device with another UDID); an
# unknown option is said on standard error; with no device of the UDID the
# close sends nothing. (When the hint comes: app_tests.)
source "$(dirname "$0")/lib.sh"
start_xvfb
SERIAL=00008101000A1B2C3D4E5F61  # the device on the bus is another one
run_program cold "" "$UDID" --no-audo
the_window
# 900x650: the status line sits just above the middle, the hint just below it.
wait_until 10 "the status line" 'lit "$window" 800x40+50+280'
wait_until 15 "the hint line" 'lit "$window" 800x40+50+330'
grep -qx 'Opción desconocida, ignorada: --no-audo' "$WORK/stderr.txt" ||
  fail "the unknown option is not on standard error"
close_program
! grep -q '^control' "$WORK/transcript.txt" || fail "a control request was sent with no device"
echo "PASS status while searching, its hint, an unknown option"
