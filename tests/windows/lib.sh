# What the Windows test scripts share; sourced by them, with the environment
# that tests/windows/run sets up (DISPLAY, WINEPREFIX, szBuild, szWork).
# Wine's output is only ever redirected to files: its helper processes inherit
# a pipe and keep it open, so a read through one would never end.

nFailures=0

# Check DESCRIPTION COMMAND... : runs the command, reports and counts a failure.
Check() {
  local szWhat="$1"
  shift
  if "$@"; then
    echo "ok: $szWhat"
  else
    echo "FAILED: $szWhat"
    nFailures=$((nFailures + 1))
  fi
}

Finish() { exit $((nFailures > 0)); }

# A Windows path on Wine's Z: drive, which maps the Unix root.
WinPath() { printf 'Z:%s' "${1//\//\\}"; }

# StartWine NAME EXE ARG... : runs the program in the background; its output
# lands in $szWork/NAME.out and .err and its exit code in $szWork/NAME.rc.
StartWine() {
  local szName="$1"
  shift
  rm -f "$szWork/$szName.rc"
  (
    wine "$@" >"$szWork/$szName.out" 2>"$szWork/$szName.err"
    echo $? >"$szWork/$szName.rc.tmp"
    mv "$szWork/$szName.rc.tmp" "$szWork/$szName.rc"
  ) &
}

# ExitCode NAME : waits for the program's exit and prints its code (modulo
# 256, as Wine reports it). The bound only keeps a hung program from hanging
# the run; it is no judgement of speed.
ExitCode() {
  local i
  for ((i = 0; i < 1200; ++i)); do
    if [ -f "$szWork/$1.rc" ]; then
      cat "$szWork/$1.rc"
      return
    fi
    sleep 0.1
  done
  echo "still running"
}

# FindWindow TITLE : the X window id of the visible top-level window with
# exactly this title, waiting for it to appear; empty when it never does.
FindWindow() {
  timeout 60 xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1
}

# NoWindow TITLE : whether no such window is visible right now.
NoWindow() { ! xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; }

# Closes a window as a user does (xdotool windowclose would only destroy the
# X window and leave the program running).
CloseWindow() { xdotool windowfocus --sync "$1" key --clearmodifiers alt+F4; }
