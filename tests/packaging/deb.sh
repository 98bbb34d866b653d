#!/bin/bash
# The .deb: lintian finds no error; apt installs it with its dependencies;
# the installed program says its version and, started as the menu starts it
# (--any), mirrors a simulated phone of another serial; apt removes and
# purges it without a trace. Needs root (it installs the package).
set -euo pipefail
szRoot="$(cd "$(dirname "$0")/../.." && pwd)"
szVersion="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$szRoot/build-release/CMakeCache.txt")"
szDeb="$szRoot/dist/veltrona-ios_${szVersion}_amd64.deb"
szWork="$(mktemp -d)"
Cleanup() {
  # A failed run leaves no package behind on the machine.
  dpkg-query -W -f='${Status}' veltrona-ios 2>/dev/null | grep -q installed &&
    apt-get remove --purge -y -qq veltrona-ios >/dev/null 2>&1
  rm -rf "$szWork"
}
trap Cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

lintian --info "$szDeb" >"$szWork/lintian.txt" 2>&1 || true
grep -v 'running with root privileges' "$szWork/lintian.txt" | sed 's/^/    lintian: /' || true
! grep -q '^E:' "$szWork/lintian.txt" || fail "lintian reports errors"
echo "lintian: $(grep -c '^[EWI]:' "$szWork/lintian.txt" || true) tags (errors, warnings, notes)"

export DEBIAN_FRONTEND=noninteractive
apt-get install -y -qq --no-install-recommends "$szDeb" >"$szWork/install.txt" 2>&1 ||
  { cat "$szWork/install.txt" >&2; fail "apt could not install the package"; }
szShown="$(veltrona --version)"
echo "$szShown"
[[ $(head -n 1 <<<"$szShown") == "Veltrona iOS $szVersion" ]] || fail "--version: $szShown"
dpkg -L veltrona-ios | sort >"$szWork/files.txt"
for szFile in /usr/bin/veltrona /lib/udev/rules.d/60-veltrona.rules \
  /usr/share/applications/veltrona.desktop /usr/share/icons/hicolor/scalable/apps/veltrona.svg \
  /usr/share/icons/hicolor/{48x48,128x128,256x256}/apps/veltrona.png \
  /usr/share/man/man1/veltrona.1.gz /usr/share/doc/veltrona-ios/{copyright,changelog.gz}; do
  grep -qx "$szFile" "$szWork/files.txt" && [ -e "$szFile" ] || fail "not installed: $szFile"
done
grep -qx 'Exec=veltrona --any' /usr/share/applications/veltrona.desktop || fail "menu entry"
grep -q 'ATTR{idVendor}=="05ac".*TAG+="uaccess"' /lib/udev/rules.d/60-veltrona.rules || fail "rule"

BUILD_DIR="$szRoot/build-release" VELTRONA_SIM_SERIAL=ffeeddccbbaa99887766554433221100ffeeddcc \
  bash "$szRoot/tests/e2e/any_device.sh" /usr/bin/veltrona

apt-get remove --purge -y -qq veltrona-ios >"$szWork/remove.txt" 2>&1 ||
  { cat "$szWork/remove.txt" >&2; fail "apt could not remove the package"; }
! dpkg-query -W -f='${Status}' veltrona-ios 2>/dev/null | grep -q installed || fail "still installed"
while read -r szFile; do
  [ -d "$szFile" ] || [ ! -e "$szFile" ] || fail "left behind: $szFile"
done <"$szWork/files.txt"
echo "PASS .deb ($(du -k "$szDeb" | cut -f1) KiB)"
