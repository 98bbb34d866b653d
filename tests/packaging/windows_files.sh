#!/bin/bash
# The Windows zip holds exactly the files README's "Install" section lists,
# never libusb0.dll; the program carries its version, icon and manifest.
set -euo pipefail
szRoot="$(cd "$(dirname "$0")/../.." && pwd)"
szVersion="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$szRoot/build-release/CMakeCache.txt")"
szZip="$szRoot/dist/Veltrona-iOS-$szVersion-win64.zip"
szWork="$(mktemp -d)"
trap 'rm -rf "$szWork"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# README's tree (the block after "The zip holds:"): a name per line, folders
# ending in "\", two spaces of indent a level, a comment after the name.
awk '/The zip holds:/ { bFound = 1; next }
  bFound && /^```/ { if (bIn) exit; bIn = 1; next }
  bIn { match($0, /^ */); nDepth = RLENGTH / 2; sub(/^ +/, ""); sub(/  .*/, "")
    aPath[nDepth] = $0; szPath = ""
    for (i = 0; i <= nDepth; ++i) szPath = szPath aPath[i]
    gsub(/\\/, "/", szPath); print szPath }' "$szRoot/README.md" | sort >"$szWork/readme.txt"
[ -s "$szWork/readme.txt" ] || fail "no zip layout in README"
unzip -Z1 "$szZip" | sort >"$szWork/zip.txt"
diff "$szWork/readme.txt" "$szWork/zip.txt" || fail "the zip's files are not README's"
! grep -qi 'libusb0\.dll$' "$szWork/zip.txt" || fail "the zip holds a libusb0.dll"

# The program's resources, as the loader and Explorer read them.
unzip -q "$szZip" "Veltrona iOS/veltrona.exe" -d "$szWork"
x86_64-w64-mingw32-windres -J coff -i "$szWork/Veltrona iOS/veltrona.exe" -O rc \
  -o "$szWork/resources.rc"
# The manifest is kept as its UTF-8 text.
strings -a "$szWork/Veltrona iOS/veltrona.exe" >"$szWork/strings.txt"
IFS=. read -r nMajor nMinor nPatch <<<"$szVersion"
for szWanted in "FILEVERSION $nMajor, $nMinor, $nPatch, 0" "PRODUCTVERSION $nMajor, $nMinor, $nPatch, 0" \
  "VALUE \"ProductVersion\", \"$szVersion\"" "VALUE \"ProductName\", \"Veltrona iOS\"" "1 14 /* RT_GROUP_ICON */" \
  "PerMonitorV2" "<dpiAware" "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}" \
  "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}" "Microsoft.Windows.Common-Controls" "asInvoker"; do
  grep -qF -- "$szWanted" "$szWork/resources.rc" "$szWork/strings.txt" ||
    fail "the program's resources lack: $szWanted"
done
! grep -q activeCodePage "$szWork/strings.txt" || fail "the manifest sets a code page"
echo "PASS Windows zip and resources ($(wc -l <"$szWork/zip.txt") files)"
