#!/usr/bin/env bash
# keldan-report on 100,000 stations rows per database, and the page in
# headless Chromium. Starts the test database servers under
# build/bench/report-dbservers.
# Usage: bench/report/run.sh [BUILD_DIR] [rows] [database...]   (default build/dev, 100000, all three)
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath "${1:-$repo/build/dev}")
rows=${2:-100000}
shift $(( $# > 2 ? 2 : $# ))
root=$repo/build/bench/report-dbservers
cmake --build "$build" --target bench_report
bash "$repo/scripts/db-servers.sh" start "$root" > /dev/null
trap 'bash "$repo/scripts/db-servers.sh" stop "$root" > /dev/null' EXIT
export ODBCSYSINI=$repo/odbc ODBCINI=$root/odbc.ini
cd "$(mktemp -d)"
"$build/bench/report/bench_report" "$rows" "$@"
