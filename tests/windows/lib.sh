# What the Windows test scripts share, in tests/windows/run's environment, with
# the whole-program tests' steps. Wine's output only ever goes to files: its
# helper processes inherit a pipe and keep it open.
BUILD_DIR="$szBuild"
. "$szHere/../e2e/lib.sh"

# A Windows path on Wine's Z: drive, which maps the Unix root.
WinPath() { printf 'Z:%s' "${1//\//\\}"; }

# StartWine NAME EXE ARG... : runs the program in the background; its output
# lands in $szWork/NAME.out and .err, its exit code in $szWork/NAME.rc.
StartWine() {
  (wine "${@:2}" >"$szWork/$1.out" 2>"$szWork/$1.err" && nCode=0 || nCode=$?
    echo "$nCode" >"$szWork/$1.rc.tmp" && mv "$szWork/$1.rc.tmp" "$szWork/$1.rc") &
}

# EndedWith NAME CODE : the program ends with that exit code (modulo 256, as Wine reports it).
EndedWith() {
  wait_until 120 "the end of $1" "[ -f '$szWork/$1.rc' ]"
  [ "$(cat "$szWork/$1.rc")" = "$2" ] || fail "$1: exit code $(cat "$szWork/$1.rc"), not $2"
}

# FindWindow TITLE : the id of the visible window of exactly this title, once it is there.
FindWindow() { timeout 60 xdotool search --sync --onlyvisible --name "^$1\$" | head -n 1; }

# Install DIR : as a user has it, the DLLs beside it, the stub name tool in Frameworks\.
Install() {
  mkdir -p "$1/Frameworks"
  cp "$szBuild"/veltrona.exe "$szBuild"/*.dll "$1/"
  cp "$szBuild/tests/windows/ideviceinfo.exe" "$1/Frameworks/"
}

# StartMirror NAME WIDTH HEIGHT EXE ARG... : the device sends a stream of that
# size, its transcript in $szWork/NAME.transcript; the window in nWindow.
StartMirror() {
  make_stream "$WORK/stream.h264" "$2" "$3" 1 2
  VELTRONA_SIM_STREAM="$(WinPath "$WORK/stream.h264")" VELTRONA_SIM_SERIAL="$SERIAL" \
    VELTRONA_SIM_TRANSCRIPT="$(WinPath "$szWork/$1.transcript")" StartWine "$1" "${@:4}"
  nWindow="$(FindWindow 'Veltrona - iOS')" || fail "no mirror window"
}

# WindowSizeIs WxH : the window's outer size, as Win32 gives it.
WindowSizeIs() {
  wine "$szBuild/tests/windows/window_probe.exe" size >"$szWork/size.out" 2>&1
  grep -q "^window $1 " "$szWork/size.out" || fail "the window is not $1: $(cat "$szWork/size.out")"
  cat "$szWork/size.out"
}

# SwitchedBack NAME : the transcript (CRLF: text mode), in $WORK/transcript.txt,
# ends with mode off (wIndex 0), then close.
SwitchedBack() {
  tr -d '\r' <"$szWork/$1.transcript" >"$WORK/transcript.txt"
  [[ $(tail -n 2 "$WORK/transcript.txt" | tr '\n' '|') == "control 0x40 0x52 0x0000 0x0000 0|close|" ]]
}

# Closes a window as a user does (xdotool windowclose would only destroy the
# X window and leave the program running).
CloseWindow() { xdotool windowfocus --sync "$1" key --clearmodifiers "$2"; }
