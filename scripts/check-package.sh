#!/usr/bin/env bash
# Builds the Debian package from a configured and built tree (cpack -G DEB),
# shows its control data, installs it, runs the installed dirlook on the
# offscreen platform, removes it again and checks that nothing it installed
# is left behind. Needs root or sudo; test.sh runs it after the tests.
#
#   check-package.sh [BUILD_DIR]     (default build/)
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=$(cd "${1:-$ROOT/build}" && pwd)
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
# Other installations may hold the package database for a while.
APT=($SUDO env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 -y -q)

rm -rf "$BUILD/package"
(cd "$BUILD" && cpack -G DEB >/dev/null)
DEB=$(ls "$BUILD"/package/dirlook_*.deb)
VERSION=$(dpkg-deb -f "$DEB" Version)
echo "-- dpkg-deb -I $(basename "$DEB")"
dpkg-deb -I "$DEB"
DEPENDS=$(dpkg-deb -f "$DEB" Depends)
for library in libqt6widgets6 libqt6gui6 libqt6core6 libldap-2.5-0 libstdc++6 libc6; do
  case "$DEPENDS" in
    *"$library "*|*"$library,"*|*"$library") ;;
    *) echo "The package does not depend on $library: $DEPENDS" >&2; exit 1 ;;
  esac
done

if dpkg-query -W -f='${Status}' dirlook 2>/dev/null | grep -q "install ok installed"; then
  echo "A dirlook package is installed already; not installing over it." >&2
  echo "Remove it (apt-get remove dirlook) to run the installation check." >&2
  exit 1
fi

echo "-- apt-get install $(basename "$DEB")"
"${APT[@]}" install --no-install-recommends "$DEB" >/dev/null
status=0
version=$(QT_QPA_PLATFORM=offscreen /usr/bin/dirlook --version 2>/dev/null) || status=$?
echo "dirlook --version: $version"
LISTED=$(dpkg -L dirlook)
echo "-- dpkg -L dirlook: $(echo "$LISTED" | wc -l) paths"
"${APT[@]}" purge dirlook >/dev/null

if [ "$status" -ne 0 ] || [ "$version" != "Dirlook $VERSION" ]; then
  echo "The installed dirlook did not report version $VERSION (status $status)." >&2
  exit 1
fi
for wanted in /usr/bin/dirlook /usr/share/applications/org.dirlook.Dirlook.desktop \
              /usr/share/metainfo/org.dirlook.Dirlook.metainfo.xml \
              /usr/share/icons/hicolor/scalable/apps/dirlook.svg \
              /usr/share/dirlook/Help/Dirlook.html /usr/share/man/man1/dirlook.1.gz \
              /usr/share/doc/dirlook/changelog.gz /usr/share/doc/dirlook/copyright; do
  grep -qx "$wanted" <<<"$LISTED" || { echo "dpkg -L does not list $wanted" >&2; exit 1; }
done
# Every file is gone, and so is every folder that was the package's own;
# shared folders such as /usr/bin stay.
left=0
while IFS= read -r path; do
  [ -n "$path" ] && [ "$path" != "/." ] || continue
  if [ -e "$path" ] && { [ ! -d "$path" ] || [[ "$path" == *dirlook* ]]; }; then
    echo "Left behind after removal: $path" >&2
    left=1
  fi
done <<<"$LISTED"
if dpkg-query -W -f='${Status}' dirlook 2>/dev/null | grep -q "installed"; then
  echo "dpkg still knows dirlook after the purge." >&2
  left=1
fi
[ "$left" -eq 0 ] || exit 1
echo "Package $(basename "$DEB"): installed, ran, removed without a trace."
