#!/usr/bin/env bash
# keldan-import's rate on all three databases: the 1,807 lines of
# tests/data/aprs/aprs-sample.tnc2, 100 times, with ISO stamps a second
# apart. Into fresh tables; the SQLite file in WAL mode as the project's
# data source has it. Starts the test database servers under build/bench/dbservers.
# Usage: bench/import/run.sh [BUILD_DIR] [COPIES]   (default build/dev, 100)
# IMPORT_BIN=path runs that keldan-import instead of the build's (an older
# one, for a before-and-after); AGAIN=1 imports the log a second time into
# the same tables, which stores nothing and times the already-stored check.
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath "${1:-$repo/build/dev}")
copies=${2:-100}
root=$repo/build/bench/dbservers
bin=${IMPORT_BIN:-$build/bin/keldan-import}
[[ -n ${IMPORT_BIN:-} ]] || cmake --build "$build" --target keldan-import
bash "$repo/scripts/db-servers.sh" start "$root" > /dev/null
trap 'bash "$repo/scripts/db-servers.sh" stop "$root" > /dev/null' EXIT
. "$root/ports"
export ODBCSYSINI=$repo/odbc ODBCINI=$root/odbc.ini PGPASSWORD=keldan XDG_CONFIG_HOME
work=$(mktemp -d)
XDG_CONFIG_HOME=$work/config
log=$work/sample-x$copies.log
# Each line a second after the one before (from 2024-01-01 00:00:00): no two
# beacons of a station share a time stamp, so none is taken for one already
# stored.
LC_ALL=C awk -v copies="$copies" 'NF { line[n++] = $0 } END {
  t = 1704067200
  for (c = 0; c < copies; c++) for (i = 0; i < n; i++) print strftime("%Y-%m-%d %H:%M:%S", t++, 1), line[i] }' \
  "$repo/tests/data/aprs/aprs-sample.tnc2" > "$log"
echo "log: $(wc -l < "$log") lines, $(du -h "$log" | cut -f1)"
psql=(psql -q -X -h 127.0.0.1 -p "$PG_PORT" -U keldan keldan)
maria=(mariadb -h 127.0.0.1 -P "$MARIADB_PORT" -u keldan -pkeldan keldan)
drop="DROP VIEW IF EXISTS wx_beacons, mobile_beacons, fixed_beacons, latest_positions, station_positions;
      DROP TABLE IF EXISTS stations, fixed_data, mobile_data, wx_data"

# CPU seconds the server has used, its finished children (PostgreSQL's
# backends) included: what the server spent on the import, besides the wall time.
tick=$(getconf CLK_TCK)
server_cpu() {
  local pids ticks=0 pid
  case $1 in
    postgres) pid=$(head -n 1 "$root/postgres/data/postmaster.pid"); pids="$pid $(pgrep -P "$pid" | tr '\n' ' ')" ;;
    mariadb) pids=$(head -n 1 "$root/mariadb/mariadbd.pid") ;;
    *) echo 0; return ;;
  esac
  for pid in $pids; do
    [[ -r /proc/$pid/stat ]] || continue
    ticks=$((ticks + $(sed 's/.*) //' "/proc/$pid/stat" | awk '{ print $12 + $13 + $14 + $15 }')))
  done
  echo "$ticks"
}
timed_import() {
  local before after
  before=$(server_cpu "$db")
  time KELDAN_PASSWORD=keldan "$bin" "${args[@]}" "$log" 2> /dev/null
  after=$(server_cpu "$db")
  [[ $db == sqlite ]] || awk -v t="$((after - before))" -v hz="$tick" 'BEGIN { printf "server: %.1f s CPU\n", t / hz }'
}

for db in sqlite postgres mariadb; do
  case $db in
    sqlite)
      sqlite3 "$work/bench.sqlite" < "$repo/db/schema/sqlite.sql"
      args=(--dsn myodbc3-test --database "$work/bench.sqlite" --user sa) ;;
    postgres)
      "${psql[@]}" -c "$drop" 2> /dev/null; "${psql[@]}" -f "$repo/db/schema/postgresql.sql" 2> /dev/null
      args=(--dsn keldan-postgres --database keldan --user keldan) ;;
    mariadb)
      "${maria[@]}" -e "$drop"; "${maria[@]}" < "$repo/db/schema/mariadb.sql"
      args=(--dsn keldan-mariadb --database keldan --user keldan) ;;
  esac
  echo "== $db"
  # The machine is shared: the process's own CPU time, besides the wall time.
  TIMEFORMAT="keldan-import: %R s real, %U s user, %S s system"
  echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
  timed_import
  if [[ -n ${AGAIN:-} ]]; then
    echo "== $db, the same log again"
    timed_import
  fi
done
rm -rf "$work"
