#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need.
# Idempotent: when everything is already there it returns at once.
set -euo pipefail

packages=(
  cmake g++ make
  qt6-base-dev qt6-base-dev-tools qt6-image-formats-plugins libqt6svg6-dev
  unixodbc unixodbc-dev odbc-postgresql
  libsqlite3-dev
  postgresql
  fonts-liberation
  xauth xvfb
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if ((${#missing[@]})); then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
