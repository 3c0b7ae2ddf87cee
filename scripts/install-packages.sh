#!/usr/bin/env bash
# Installs the Debian 12 packages the bridge needs. As root.
#   install-packages.sh run    what building and running the bridge needs
#   install-packages.sh test   that, plus the database servers, Dire Wolf,
#                              Xvfb, Chromium (the report's browser tests) and
#                              clang for the tests and fuzzers, clang-format for
#                              the format check, and the tools that build and
#                              check the package
set -euo pipefail
profile=${1:-run}

run_packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-httpserver-dev qt6-websockets-dev
  libqt6httpserver6 libqt6websockets6 fonts-dejavu-core fonts-dejavu-extra
  unixodbc unixodbc-dev libsqliteodbc sqlite3
  zlib1g-dev libarchive-dev
)
test_packages=(
  postgresql odbc-postgresql
  mariadb-server mariadb-client odbc-mariadb
  direwolf iproute2 util-linux
  xvfb xauth
  chromium
  clang libclang-rt-14-dev clang-format
  dpkg-dev file desktop-file-utils systemd man-db lintian
)

packages=("${run_packages[@]}")
[ "$profile" = test ] && packages+=("${test_packages[@]}")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "All ${#packages[@]} packages are installed."
  exit 0
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# The tests start their own database servers under the build tree; keep the
# packages' own services from starting system-wide ones during the install.
policy=/usr/sbin/policy-rc.d
made_policy=0
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' > "$policy"
  chmod 755 "$policy"
  made_policy=1
fi
trap '[ $made_policy = 1 ] && rm -f "$policy"' EXIT
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
