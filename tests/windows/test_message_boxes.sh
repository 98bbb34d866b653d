#!/bin/bash
# Start-up errors: the box with the program's caption and its text (Wine's
# msgbox trace gives the text, which X cannot show), no mirror window, and the
# exit code once the user has dismissed the box. No usable UDID: 2. Without
# libusb0.dll beside the program, or with a 32-bit one: 5, and the box says
# which file and what to install.
. "$szHere/lib.sh"

MessageBox() {  # NAME CODE TEXT PROGRAM ARG...
  WINEDEBUG=trace+msgbox StartWine "$1" "${@:4}"
  nBox="$(FindWindow 'Veltrona iOS')" || fail "$1: no box"
  ! xdotool search --onlyvisible --name '^Veltrona - iOS$' >/dev/null || fail "a mirror window"
  CloseWindow "$nBox" Return
  EndedWith "$1" "$2"
  grep -aqF "MSGBOX_OnInit L\"$3\"" "$szWork/$1.err" || fail "$1: the box does not say \"$3\""
  echo "$1: box \"$3\", exit code $2"
}

MessageBox no-argument 2 "Falta el UDID del dispositivo iOS." "$szBuild/veltrona.exe"
MessageBox empty-argument 2 "El UDID del dispositivo iOS no es valido." "$szBuild/veltrona.exe" ""

szDir="$szWork/no usb library"
mkdir -p "$szDir"
cp "$szBuild"/veltrona.exe "$szBuild"/av*.dll "$szBuild"/sw*.dll "$szDir/"
MessageBox no-libusb0 5 "Falta libusb0.dll. Instale libusb-win32 y copie su libusb0.dll de 64 bits \
(amd64) junto a veltrona.exe." "$szDir/veltrona.exe" "$UDID"
# The simulated DLL marked as built for x86 (the PE header's machine field).
cp "$szBuild/libusb0.dll" "$szDir/"
nPeHeader=$(od -An -tu4 -j60 -N4 "$szDir/libusb0.dll")
printf '\x4c\x01' | dd of="$szDir/libusb0.dll" bs=1 seek=$((nPeHeader + 4)) conv=notrunc status=none
MessageBox libusb0-32-bit 5 "libusb0.dll no es la de 64 bits de libusb-win32. Instale libusb-win32 \
y copie su libusb0.dll de 64 bits (amd64) junto a veltrona.exe." "$szDir/veltrona.exe" "$UDID"
