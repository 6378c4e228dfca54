#!/usr/bin/env bash
# Renders the application icon's PNG sizes from ui/resources/dirlook.svg
# (run after changing the drawing; the PNGs are committed). Needs
# rsvg-convert, from the Debian package librsvg2-bin.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
RESOURCES=$ROOT/ui/resources

if ! command -v rsvg-convert >/dev/null 2>&1; then
  echo "rsvg-convert is missing: apt-get install librsvg2-bin" >&2
  exit 1
fi
for size in 16 32 48 128 256; do
  rsvg-convert --width "$size" --height "$size" "$RESOURCES/dirlook.svg" \
    --output "$RESOURCES/dirlook-$size.png"
done
echo "Rendered $RESOURCES/dirlook-{16,32,48,128,256}.png"
