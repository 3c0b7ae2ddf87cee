#!/usr/bin/env bash
# Imports old logs into the database that scripts/run.sh prepares
# (build/run/TEST), with the bridge's settings there: keldan.ini's data source
# and capture switches, and the host's Latitude, Longitude, Exclusions and
# Time Zone from build/run/config. As root on a fresh machine, like run.sh.
#
#   import.sh [keldan-import options] LOG...     e.g. import.sh aprx-rf.log*.gz
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
bash "$repo/scripts/install-packages.sh" run
bash "$repo/scripts/build.sh" dev keldan-import

# Paths as the caller typed them, before moving to build/run.
args=()
for arg in "$@"; do
  if [ -e "$arg" ]; then args+=("$(realpath "$arg")"); else args+=("$arg"); fi
done

run=$repo/build/run
mkdir -p "$run"
cd "$run"
# Creates the tables when there are none, and adds the indexes and views of
# the current schema to older ones.
sqlite3 TEST < "$repo/db/schema/sqlite.sql"
# Before the bridge's first start there is no keldan.ini; it would say DATABASE=TEST.
[ -f keldan.ini ] || args=(--database TEST "${args[@]}")
# The bridge's folder, not the program's (build/dev/bin).
args=(--program-folder "$run" "${args[@]}")
export ODBCSYSINI=$repo/odbc ODBCINI=$repo/odbc/odbc.ini XDG_CONFIG_HOME=$run/config
exec "$repo/build/dev/bin/keldan-import" "${args[@]}"
