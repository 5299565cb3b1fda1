#!/usr/bin/env bash
# Installs every Debian package the build, the tests, the demo and the
# package (dpkg-shlibdeps, its checks) need.
# Idempotent: when everything is already there it returns at once, without
# apt, root or network.
set -euo pipefail

# Real package names only: dpkg-query never reports a virtual name (one that
# another package merely provides) as installed, so it would be "missing" on
# every run.
packages=(
  cmake g++ make
  qt6-base-dev qt6-base-dev-tools qt6-image-formats-plugins qt6-svg-dev
  unixodbc unixodbc-dev odbc-postgresql
  libsqlite3-dev sqlite3
  postgresql postgresql-client
  clang-format
  fonts-liberation
  xauth xvfb
  dpkg-dev file desktop-file-utils appstream man-db lintian
)

not_installed() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep 'install ok installed' >/dev/null || echo "$p"
  done
}

mapfile -t missing < <(not_installed "${packages[@]}")

if ((${#missing[@]})); then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update
  # An install already running on a shared machine holds dpkg's lock; wait
  # for it rather than fail at once.
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get -o DPkg::Lock::Timeout=300 install -y --no-install-recommends "${missing[@]}"
  # A name apt accepted but dpkg still does not know would make every later
  # run install again; say so now rather than silently.
  mapfile -t still < <(not_installed "${missing[@]}")
  if ((${#still[@]})); then
    echo "setup.sh: still not installed after apt-get install: ${still[*]} (a virtual name? list the real package)" >&2
    exit 1
  fi
fi
