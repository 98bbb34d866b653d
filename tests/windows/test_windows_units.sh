#!/bin/bash
# The Windows-only units under Wine: the name lookup against the stub tool in
# Frameworks\ of a folder whose path holds spaces (and of one without the
# tool), and the USB declarations against the simulated libusb0.dll.
. "$szHere/lib.sh"

szSpaced="$szWork/Unit Tests/With Spaces"
szBare="$szWork/bare"
mkdir -p "$szSpaced/Frameworks" "$szBare"
for szDir in "$szSpaced" "$szBare"; do
  cp "$szBuild/tests/windows/veltrona_windows_tests.exe" "$szBuild/libusb0.dll" "$szDir/"
done
cp "$szBuild/tests/windows/ideviceinfo.exe" "$szSpaced/Frameworks/"

# RunUnits NAME FOLDER FILTER : the GoogleTest program in that folder.
RunUnits() {
  VELTRONA_SIM_SERIAL=00008101000A1B2C3D4E5F60 StartWine "$1" "$2/veltrona_windows_tests.exe" \
    --gtest_filter="$3"
  local nCode
  nCode="$(ExitCode "$1")"
  tr -d '\r' <"$szWork/$1.out"
  test "$nCode" = 0
}

Check "name lookup and USB declarations (tool present, spaced path)" \
  RunUnits units-spaced "$szSpaced" 'DeviceNameTool.*:SimulatedLibusb0.*'
Check "name lookup without the tool" RunUnits units-bare "$szBare" 'DeviceNameNoTool.*'
Finish
