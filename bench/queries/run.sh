#!/usr/bin/env bash
# The schema's indexes on large tables, on all three databases: fills the
# tables with ROWS stations rows (and a detail row each) by plain SQL, times
# the example queries of docs/queries.md, then runs the sustained drain
# (bench/drain) into those tables: 90 beacons/s for 60 s, 200/s for 30 s.
# Starts the test database servers under build/bench/dbservers.
# Usage: bench/queries/run.sh [BUILD_DIR] [ROWS] [DATABASES]
#   (default build/dev, 10000000, "sqlite postgres mariadb")
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath "${1:-$repo/build/dev}")
rows=${2:-10000000}
databases=${3:-sqlite postgres mariadb}
root=$repo/build/bench/dbservers
cmake --build "$build" --target bench_queries bench_drain
bash "$repo/scripts/db-servers.sh" start "$root" > /dev/null
trap 'bash "$repo/scripts/db-servers.sh" stop "$root" > /dev/null' EXIT
. "$root/ports"
export ODBCSYSINI=$repo/odbc ODBCINI=$root/odbc.ini PGPASSWORD=keldan
work=$(mktemp -d)
schema=$repo/db/schema
fill=$repo/bench/queries
psql=(psql -q -X -v ON_ERROR_STOP=1 -h 127.0.0.1 -p "$PG_PORT" -U keldan keldan)
maria=(mariadb -h 127.0.0.1 -P "$MARIADB_PORT" -u keldan -pkeldan keldan)

seconds() { local start=$1; echo $(( $(date +%s) - start )); }

for db in $databases; do
  start=$(date +%s)
  case $db in
    sqlite)
      sqlite3 "$work/bench.sqlite" < "$schema/sqlite.sql"
      { echo ".parameter set :ROWS $rows"; cat "$fill/fill-sqlite.sql"; } | sqlite3 "$work/bench.sqlite" > /dev/null
      sqlite3 "$work/bench.sqlite" < "$schema/sqlite.sql"
      sqlite3 "$work/bench.sqlite" 'PRAGMA journal_mode = WAL; ANALYZE;' > /dev/null ;;
    postgres)
      "${psql[@]}" -c 'DROP VIEW IF EXISTS wx_beacons, mobile_beacons, fixed_beacons, latest_positions, station_positions' \
        -c 'DROP TABLE IF EXISTS stations, fixed_data, mobile_data, wx_data' 2> /dev/null
      "${psql[@]}" -f "$schema/postgresql.sql" 2> /dev/null
      "${psql[@]}" -v ROWS="$rows" -f "$fill/fill-postgresql.sql"
      "${psql[@]}" -f "$schema/postgresql.sql" 2> /dev/null
      "${psql[@]}" -c 'VACUUM ANALYZE' ;;
    mariadb)
      "${maria[@]}" -e 'DROP VIEW IF EXISTS wx_beacons, mobile_beacons, fixed_beacons, latest_positions, station_positions; DROP TABLE IF EXISTS stations, fixed_data, mobile_data, wx_data'
      "${maria[@]}" < "$schema/mariadb.sql"
      sed "s/@ROWS_MINUS_ONE@/$((rows - 1))/" "$fill/fill-mariadb.sql" | "${maria[@]}"
      "${maria[@]}" < "$schema/mariadb.sql"
      "${maria[@]}" -e 'ANALYZE TABLE stations, fixed_data, mobile_data, wx_data' > /dev/null ;;
  esac
  echo "$db: filled and indexed in $(seconds "$start") s"
  "$build/bench/queries/bench_queries" "$db" "$work/bench.sqlite" 3
  KELDAN_BENCH_KEEP_TABLES="$work/bench.sqlite" "$build/bench/drain/bench_drain" "$db" 90:60 200:30
  echo
done
rm -rf "$work"
