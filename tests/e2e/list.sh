#!/usr/bin/env bash
# --list prints the connected device's UDID as the program takes it, its
# product id and whether its capture configuration is on, with no display
# needed, and exits 0; a device it may not open is listed as such.
source "$(dirname "$0")/lib.sh"
unset DISPLAY
list() {
  VELTRONA_SIM_SCENARIO="$1" VELTRONA_SIM_SERIAL="$SERIAL" LD_PRELOAD="$PRELOAD" \
    "$PROGRAM" --list >"$WORK/list.txt" 2>"$WORK/list.err" || fail "--list: exit code $?"
  cat "$WORK/list.txt"
}
list cold
grep -qx "$UDID  producto 0x12a8  captura de pantalla: desactivada" "$WORK/list.txt" ||
  fail "not the simulated device, switched off"
list capture
grep -qx "$UDID  producto 0x12a8  captura de pantalla: activada" "$WORK/list.txt" ||
  fail "not the simulated device, switched on"
list no-permission
grep -q "^(sin permiso" "$WORK/list.txt" || fail "no line for the device it may not open"
[[ $(wc -l <"$WORK/list.txt") == 1 ]] || fail "more than the one device"
echo "PASS --list"
