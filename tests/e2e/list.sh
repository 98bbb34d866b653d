#!/usr/bin/env bash
# --list prints the connected device's UDID as the program takes it, its
# product id and whether its capture configuration is on, with no display
# needed, and exits 0. (Devices it may not open or read: device_tests.)
source "$(dirname "$0")/lib.sh"
unset DISPLAY
VELTRONA_SIM_SCENARIO=cold VELTRONA_SIM_SERIAL="$SERIAL" LD_PRELOAD="$PRELOAD" \
  "$PROGRAM" --list >"$WORK/list.txt" 2>"$WORK/list.err" || fail "--list: exit code $?"
cat "$WORK/list.txt"
[[ $(<"$WORK/list.txt") == "$UDID  producto 0x12a8  captura de pantalla: desactivada" ]] ||
  fail "not the simulated device, switched off"
echo "PASS --list"
