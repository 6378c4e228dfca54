#!/usr/bin/env bash
# Takes docs/screenshot.png: Dirlook connected to the demo directory, a
# photo's tooltip and a certificate's viewer shown, drawn under Xvfb
# (offscreen when Xvfb is missing).
#
# Environment: DIRLOOK_BUILD_DIR (default build/), DIRLOOK_DEMO_HOME.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${DIRLOOK_BUILD_DIR:-$ROOT/build}
OUTPUT=${1:-$ROOT/docs/screenshot.png}

bash "$ROOT/scripts/setup.sh"
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDIRLOOK_BUILD_TESTS=ON >/dev/null
cmake --build "$BUILD" --target dirlook_demo_screenshot -j "$(nproc)"

WORKDIR=$(bash "$ROOT/scripts/demo-slapd.sh" workdir)
mkdir -p "$(dirname "$OUTPUT")"
TOOL=$BUILD/tests/ui/dirlook_demo_screenshot
[ -x "$TOOL" ] || { echo "dirlook_demo_screenshot was not built" >&2; exit 1; }

if command -v xvfb-run >/dev/null 2>&1; then
  QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1400x900x24" \
    "$TOOL" "$WORKDIR" "$OUTPUT" 1280 800
else
  QT_QPA_PLATFORM=offscreen "$TOOL" "$WORKDIR" "$OUTPUT" 1280 800
fi
echo "Screenshot: $OUTPUT"
