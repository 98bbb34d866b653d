#!/bin/bash
# Start-up without a usable UDID: the error box with the program's caption and
# its text (Wine's msgbox trace gives the text, which X cannot show), no mirror
# window, exit code 2 once the user has dismissed the box.
. "$szHere/lib.sh"

MessageBox() {  # NAME TEXT ARG...
  WINEDEBUG=trace+msgbox StartWine "$1" "$szBuild/veltrona.exe" "${@:3}"
  nBox="$(FindWindow 'Veltrona iOS')" || fail "$1: no box"
  ! xdotool search --onlyvisible --name '^Veltrona - iOS$' >/dev/null || fail "a mirror window"
  CloseWindow "$nBox" Return
  EndedWith "$1" 2
  grep -aqF "MSGBOX_OnInit L\"$2\"" "$szWork/$1.err" || fail "$1: the box does not say \"$2\""
  echo "$1: box \"$2\", exit code 2"
}

MessageBox no-argument "Falta el UDID del dispositivo iOS."
MessageBox empty-argument "El UDID del dispositivo iOS no es valido." ""
