#!/bin/bash
# One WM_PAINT's cost before and after the Windows painter kept its buffers,
# under Wine in a private Xvfb (relative figures only). Needs a Windows build
# (scripts/build-windows). Usage: bench/windows_paint.sh [WINDOWS_BUILD_DIR]
set -uo pipefail
szRoot="$(cd "$(dirname "$0")/.." && pwd)"
szBuild="$(cd "${1:-$szRoot/build-windows}" && pwd)" || exit 1
[ -f "$szBuild/paint_bench.exe" ] || { echo "no paint_bench.exe in $szBuild" >&2; exit 1; }
szWork="$(mktemp -d /tmp/veltrona-paint-bench.XXXXXX)"
export WINEPREFIX="$szWork/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
nXvfbPid=""
Cleanup() {
  wineserver -k >/dev/null 2>&1
  [ -n "$nXvfbPid" ] && kill "$nXvfbPid" 2>/dev/null
  rm -rf "$szWork"
}
trap Cleanup EXIT
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$szWork/display" >/dev/null 2>&1 &
nXvfbPid=$!
for ((i = 0; i < 100; ++i)); do [ -s "$szWork/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n 1 "$szWork/display")"
wineboot -i >/dev/null 2>&1
wineserver -w
# Wine's output goes to a file, never through a pipe.
wine "$szBuild/paint_bench.exe" >"$szWork/out.txt" 2>"$szWork/err.txt"
nCode=$?
tr -d '\r' <"$szWork/out.txt"
[ "$nCode" -eq 0 ] || { cat "$szWork/err.txt" >&2; exit 1; }
