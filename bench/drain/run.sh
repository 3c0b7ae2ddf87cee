#!/usr/bin/env bash
# Sustained drain on all three databases: 90 beacons/s for 60 s, then 200/s
# for 30 s. Starts the test database servers under build/bench/dbservers.
# Usage: bench/drain/run.sh [BUILD_DIR]   (default build/dev)
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath "${1:-$repo/build/dev}")
root=$repo/build/bench/dbservers
cmake --build "$build" --target bench_drain
bash "$repo/scripts/db-servers.sh" start "$root" > /dev/null
trap 'bash "$repo/scripts/db-servers.sh" stop "$root" > /dev/null' EXIT
export ODBCSYSINI=$repo/odbc ODBCINI=$root/odbc.ini
cd "$(mktemp -d)"
for db in sqlite postgres mariadb; do
  "$build/bench/drain/bench_drain" "$db" 90:60 200:30
  echo
done
