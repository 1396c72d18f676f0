#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tools need, but only
# the ones that are missing. Runs as root directly, otherwise through sudo.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev
  libqt6sql6-sqlite qt6-qpa-plugins
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  clang libclang-rt-dev
  libzstd-dev
  sqlite3 tzdata
  xvfb xauth fonts-dejavu-core
  libmosquitto-dev mosquitto mosquitto-clients libsystemd-dev systemd openssl
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

echo "Installing missing packages: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
