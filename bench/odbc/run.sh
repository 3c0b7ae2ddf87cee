#!/usr/bin/env bash
# Bare insert rates through the ODBC layer on all three databases. Starts the
# test database servers under build/bench/odbc-dbservers.
# Usage: bench/odbc/run.sh [BUILD_DIR] [inserts]   (default build/dev, 3000)
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath "${1:-$repo/build/dev}")
count=${2:-3000}
root=$repo/build/bench/odbc-dbservers
cmake --build "$build" --target bench_odbc
bash "$repo/scripts/db-servers.sh" start "$root" > /dev/null
trap 'bash "$repo/scripts/db-servers.sh" stop "$root" > /dev/null' EXIT
export ODBCSYSINI=$repo/odbc ODBCINI=$root/odbc.ini
cd "$(mktemp -d)"
"$build/bench/odbc/bench_odbc" "$count"
