#!/bin/bash
# The Windows-only units (windows_test.cpp) under Wine, from a folder whose path
# holds spaces and Cyrillic letters (outside Wine's ANSI code page, 1252) with
# the stub name tool in Frameworks\.
. "$szHere/lib.sh"
szDir="$szWork/Unit Tests/Жёлтая папка"
Install "$szDir"
cp "$szBuild/tests/windows/veltrona_windows_tests.exe" "$szDir/"
StartWine units "$szDir/veltrona_windows_tests.exe"
wait_until 120 "the end of the units" "[ -f '$szWork/units.rc' ]"
tr -d '\r' <"$szWork/units.out"
EndedWith units 0
