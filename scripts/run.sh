#!/usr/bin/env bash
# Runs Dirlook on the bundled demo directory: installs what is missing,
# builds, starts the demo slapd on 127.0.0.1 (its data is kept between runs,
# see demo-slapd.sh) and opens Dirlook in a working directory whose "Demo"
# profile connects to it ("Demo (TLS)": the same over LDAPS). In Dirlook:
# File > Connect, pick "Demo" or "Demo (TLS)", Connect.
#
# Environment: DIRLOOK_BUILD_DIR (default build/), DIRLOOK_DEMO_HOME.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${DIRLOOK_BUILD_DIR:-$ROOT/build}

bash "$ROOT/scripts/setup.sh"

cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" --target dirlook -j "$(nproc)"

WORKDIR=$(bash "$ROOT/scripts/demo-slapd.sh" workdir)
echo "Demo directory: ldap://127.0.0.1:$(bash "$ROOT/scripts/demo-slapd.sh" start)/ (profile \"Demo\")"
echo "                ldaps://127.0.0.1:$(bash "$ROOT/scripts/demo-slapd.sh" tls-port)/ (profile \"Demo (TLS)\")"
echo "Working directory: $WORKDIR"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: set DISPLAY (or run under xvfb-run) to see the window." >&2
fi
cd "$WORKDIR"
exec "$BUILD/ui/dirlook" "$@"
