#!/bin/bash
# The Windows installer under Wine (run by tests/windows/run, which makes the
# prefix and the display): /S installs under Program Files with the Start-menu
# entry and the uninstaller registered; the installed program, with the
# simulated libusb0.dll put beside it, mirrors with --any; /S on the
# uninstaller removes all of it.
. "$szHere/lib.sh"
szRoot="$(cd "$szHere/../.." && pwd)"
szVersion="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$szRoot/build-release/CMakeCache.txt")"
szDir="$WINEPREFIX/drive_c/Program Files/Veltrona iOS"
szLink="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Veltrona iOS.lnk"
szKey='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Veltrona iOS'

StartWine setup "$szRoot/dist/Veltrona-iOS-$szVersion-setup.exe" /S
EndedWith setup 0
unzip -Z1 "$szRoot/dist/Veltrona-iOS-$szVersion-win64.zip" | grep -v '/$' |
  sed 's|^Veltrona iOS/||' | sort >"$szWork/zip.txt"
(cd "$szDir" && find . -type f | sed 's|^\./||' | grep -vx uninstall.exe | sort) >"$szWork/installed.txt"
diff "$szWork/zip.txt" "$szWork/installed.txt" || fail "the installed files are not the zip's"
[ -f "$szDir/uninstall.exe" ] || fail "no uninstaller"
[ -f "$szLink" ] || fail "no Start-menu entry"
# The shortcut's arguments, as UTF-16.
grep -qaP -- '-\x00-\x00a\x00n\x00y\x00' "$szLink" || fail "the Start-menu entry does not pass --any"
wine reg query "$szKey" /v DisplayVersion >"$szWork/reg.txt" 2>&1 || fail "no uninstall entry"
grep -q "$szVersion" "$szWork/reg.txt" || fail "uninstall entry without the version"

cp "$szBuild/libusb0.dll" "$szDir/"
make_stream "$WORK/stream.h264" 192 416 1 2
VELTRONA_SIM_STREAM="$(WinPath "$WORK/stream.h264")" \
  VELTRONA_SIM_SERIAL=ffeeddccbbaa99887766554433221100ffeeddcc \
  StartWine mirror "$szDir/veltrona.exe" --any
nWindow="$(FindWindow 'Veltrona - iOS')" || fail "no mirror window"
wait_until 60 "the picture" 'picture_shown "$nWindow" "$WORK/stream.h264.png"'
CloseWindow "$nWindow" alt+F4
EndedWith mirror 0

StartWine uninstall "$szDir/uninstall.exe" /S
EndedWith uninstall 0
# The uninstaller runs on from a copy of itself in the temporary folder.
wait_until 60 "the removal" '[ ! -e "$szDir" ] && [ ! -e "$szLink" ]'
! wine reg query "$szKey" >"$szWork/reg-after.txt" 2>&1 || fail "the uninstall entry remains"
echo "PASS installer"
