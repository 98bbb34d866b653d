#!/bin/bash
# Start-up without a usable UDID: the error box with the program's caption,
# no mirror window, exit code 2 once the user has dismissed the box. Wine's
# msgbox trace gives the box's text, which X cannot show.
. "$szHere/lib.sh"

# MessageBoxCase NAME EXPECTED_TEXT ARG... : runs the program with the arguments.
MessageBoxCase() {
  local szName="$1" szText="$2"
  shift 2
  WINEDEBUG=trace+msgbox StartWine "$szName" "$szBuild/veltrona.exe" "$@"
  local nBox
  nBox="$(FindWindow 'Veltrona iOS')"
  Check "$szName: a box captioned \"Veltrona iOS\" appears" test -n "$nBox"
  [ -n "$nBox" ] || return
  Check "$szName: no mirror window behind it" NoWindow 'Veltrona - iOS'
  CloseBox() { xdotool windowfocus --sync "$nBox" key --clearmodifiers Return; }
  CloseBox
  Check "$szName: exit code 2 after the box is dismissed" test "$(ExitCode "$szName")" = 2
  Check "$szName: the box says \"$szText\"" \
    grep -aqF "MSGBOX_OnInit L\"$szText\"" "$szWork/$szName.err"
}

MessageBoxCase no-argument "Falta el UDID del dispositivo iOS."
MessageBoxCase empty-argument "El UDID del dispositivo iOS no es valido." ""
Finish
