# What the Windows test scripts share, in the environment tests/windows/run
# sets up; the steps of the whole-program tests (fail, wait_until, make_stream,
# picture_shown, ...) with them. Wine's output only ever goes to files: its
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

# EndedWith NAME CODE : the program ends with that exit code (modulo 256, as
# Wine reports it).
EndedWith() {
  wait_until 120 "the end of $1" "[ -f '$szWork/$1.rc' ]"
  [ "$(cat "$szWork/$1.rc")" = "$2" ] || fail "$1: exit code $(cat "$szWork/$1.rc"), not $2"
}

# FindWindow TITLE : the id of the visible window of exactly this title, once it is there.
FindWindow() { timeout 60 xdotool search --sync --onlyvisible --name "^$1\$" | head -n 1; }

# Closes a window as a user does (xdotool windowclose would only destroy the
# X window and leave the program running).
CloseWindow() { xdotool windowfocus --sync "$1" key --clearmodifiers "$2"; }
