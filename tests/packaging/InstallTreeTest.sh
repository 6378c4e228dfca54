#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and checks the tree: every
# file in its place and nothing else, the menu entry and the AppStream file
# valid, the icons of their sizes, the compressed manual page and changelog
# readable and of this version, and the installed program running.
#
#   InstallTreeTest.sh BUILD_DIR VERSION
set -euo pipefail

BUILD=$1
VERSION=$2
DEST=$(mktemp -d)
trap 'rm -rf "$DEST"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

DESTDIR=$DEST cmake --install "$BUILD" --prefix /usr >/dev/null
USR=$DEST/usr

expected=$(cat <<'LIST'
usr/bin/dirlook
usr/share/applications/org.dirlook.Dirlook.desktop
usr/share/dirlook/Help/Dirlook.html
usr/share/doc/dirlook/changelog.gz
usr/share/doc/dirlook/copyright
usr/share/icons/hicolor/128x128/apps/dirlook.png
usr/share/icons/hicolor/16x16/apps/dirlook.png
usr/share/icons/hicolor/256x256/apps/dirlook.png
usr/share/icons/hicolor/32x32/apps/dirlook.png
usr/share/icons/hicolor/48x48/apps/dirlook.png
usr/share/icons/hicolor/scalable/apps/dirlook.svg
usr/share/man/man1/dirlook.1.gz
usr/share/metainfo/org.dirlook.Dirlook.metainfo.xml
LIST
)
actual=$(cd "$DEST" && find . \( -type f -o -type l \) -printf '%P\n' | LC_ALL=C sort)
if [ "$actual" != "$expected" ]; then
  fail "installed files differ from the expected tree"
  diff <(echo "$expected") <(echo "$actual") >&2 || true
fi

[ -x "$USR/bin/dirlook" ] || fail "bin/dirlook is not executable"
[ "$(stat -c %a "$USR/share/doc/dirlook/copyright")" = 644 ] || fail "copyright is not 0644"

desktop-file-validate "$USR/share/applications/org.dirlook.Dirlook.desktop" \
  || fail "desktop-file-validate"
appstreamcli validate --no-net "$USR/share/metainfo/org.dirlook.Dirlook.metainfo.xml" \
  || fail "appstreamcli validate"
grep -q '^Icon=dirlook$' "$USR/share/applications/org.dirlook.Dirlook.desktop" \
  || fail "the menu entry names another icon"
grep -q "<release version=\"$VERSION\"" "$USR/share/metainfo/org.dirlook.Dirlook.metainfo.xml" \
  || fail "the AppStream file lacks release $VERSION"

# PNG width and height: big-endian words at bytes 16 and 20.
for size in 16 32 48 128 256; do
  png=$USR/share/icons/hicolor/${size}x${size}/apps/dirlook.png
  read -r width height < <(od -An -tu1 -j16 -N8 "$png" \
    | awk '{ print $1*16777216 + $2*65536 + $3*256 + $4, $5*16777216 + $6*65536 + $7*256 + $8 }')
  [ "$width x $height" = "$size x $size" ] || fail "${size}x${size} icon is $width x $height"
done
grep -q '<svg' "$USR/share/icons/hicolor/scalable/apps/dirlook.svg" || fail "scalable icon is no SVG"

gzip -t "$USR/share/man/man1/dirlook.1.gz" || fail "manual page is not gzip"
gzip -dc "$USR/share/man/man1/dirlook.1.gz" | grep -q "^\.TH DIRLOOK 1 .*\"Dirlook $VERSION\"" \
  || fail "manual page lacks its title line for version $VERSION"
gzip -dc "$USR/share/doc/dirlook/changelog.gz" | head -1 | grep -q "^dirlook ($VERSION) " \
  || fail "changelog does not start with version $VERSION"

# The installed program runs from wherever it was put.
version=$(QT_QPA_PLATFORM=offscreen "$USR/bin/dirlook" --version 2>/dev/null)
[ "$version" = "Dirlook $VERSION" ] || fail "dirlook --version said '$version'"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "Install tree: $(echo "$expected" | wc -l) files checked."
