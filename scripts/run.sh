#!/usr/bin/env bash
# Installs what the bridge needs, builds it with keldan-import and
# keldan-report (build/dev/src), prepares the embedded default database and
# starts the bridge on it, fed by the demo log. As root.
#
#   KELDAN_FEED      the APRS source (default: the demo log replayed), e.g.
#                    kiss://127.0.0.1:8001 or aprs-is://rotate.aprs2.net:14580
#   KELDAN_SECONDS   stop the bridge after this many seconds (default: run
#                    until Ctrl-C)
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
bash "$repo/scripts/install-packages.sh" run
bash "$repo/scripts/build.sh" dev keldan keldan-import keldan-report

# Everything the running bridge uses lives in build/run: the program and its
# keldan.ini, the database file TEST, and the host's settings store.
run=$repo/build/run
mkdir -p "$run"
install -m 755 "$repo/build/dev/bin/keldan" "$run/keldan"
cd "$run"

# The default settings connect to the data source myodbc3-test with
# DATABASE=TEST; the SQLite driver opens that as the file TEST in the
# current folder. The bridge never creates tables, so create them here.
sqlite3 TEST < "$repo/db/schema/sqlite.sql"
# odbc/odbcinst.ini names the drivers by file name; the driver manager finds
# them in its own folder for this machine, /usr/lib/<multiarch>/odbc.
export ODBCSYSINI=$repo/odbc ODBCINI=$repo/odbc/odbc.ini
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || gcc -print-multiarch)
if [ ! -e "/usr/lib/$multiarch/odbc/libsqlite3odbc.so" ]; then
  echo "The SQLite ODBC driver is missing (/usr/lib/$multiarch/odbc/libsqlite3odbc.so): apt-get install libsqliteodbc" >&2
  exit 1
fi

export XDG_CONFIG_HOME=$run/config
store="$XDG_CONFIG_HOME/Peak Systems/UI-View32.conf"
mkdir -p "$(dirname "$store")"
feed=${KELDAN_FEED:-file:$repo/demo/aprs-demo.tnc2}
# Only the Feed line is set here; Callsign, Filter, Latitude and the other
# host settings added to this file by hand are kept from run to run.
if [ -f "$store" ] && grep -q '^Feed=' "$store"; then
  sed -i "s|^Feed=.*|Feed=$feed|" "$store"
elif [ -f "$store" ] && grep -q '^\[General\]' "$store"; then
  sed -i "s|^\[General\]|[General]\nFeed=$feed|" "$store"
else
  printf '[General]\nFeed=%s\n' "$feed" >> "$store"
fi

echo "Feed: $feed"
echo "Database: $run/TEST (look inside with: sqlite3 $run/TEST 'select * from stations')"
echo "Report: ODBCSYSINI=\$PWD/odbc ODBCINI=\$PWD/odbc/odbc.ini build/dev/src/keldan-report --dsn myodbc3-test --database build/run/TEST -o report.html (from $repo)"

./keldan &
bridge=$!
stop_bridge() { kill -TERM $bridge 2>/dev/null || true; }
trap 'stop_bridge; wait $bridge 2>/dev/null; exit 0' INT TERM
started=$SECONDS
while kill -0 $bridge 2>/dev/null; do
  sleep 5
  counts=$(sqlite3 TEST "select 'stations ' || (select count(*) from stations) || ', fixed_data ' || (select count(*) from fixed_data) || ', mobile_data ' || (select count(*) from mobile_data) || ', wx_data ' || (select count(*) from wx_data)" 2>/dev/null || echo "database busy")
  echo "$(date '+%H:%M:%S') rows: $counts"
  if [ -n "${KELDAN_SECONDS:-}" ] && [ $((SECONDS - started)) -ge "$KELDAN_SECONDS" ]; then
    stop_bridge
    break
  fi
done
wait $bridge
