#!/usr/bin/env bash
# Installs the Debian packages Dirlook needs to build, test and run its demo.
# Idempotent: installs only what is missing and never leaves a system slapd running.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  libldap-dev
  libgnutls28-dev libcrypt-dev openssl
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libgtest-dev libgmock-dev
  slapd ldap-utils
  clang libclang-rt-14-dev
  xvfb xauth
  desktop-file-utils appstream
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# Keep the package's own slapd service from starting during installation.
policy=/usr/sbin/policy-rc.d
created_policy=0
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' | $SUDO tee "$policy" >/dev/null
  $SUDO chmod 755 "$policy"
  created_policy=1
fi
cleanup() { if [ "$created_policy" = 1 ]; then $SUDO rm -f "$policy"; fi; }
trap cleanup EXIT

$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"

# Should a system slapd have started anyway, stop it: tests run their own.
if pgrep -x slapd >/dev/null 2>&1 && [ -f /var/run/slapd/slapd.pid ]; then
  $SUDO kill "$(cat /var/run/slapd/slapd.pid)" 2>/dev/null || true
fi
