#!/usr/bin/env bash
# Records the demo log through the bridge into a fresh SQLite database, makes
# the report of it and renders the two pictures of docs/ with headless
# Chromium (whose screenshots show the top of the page only). As root
# (Chromium runs without its sandbox).
#   report-demo.sh [OUTPUT_FOLDER]   (default build/report-demo; the pictures
#                                     go to docs/ either way)
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$repo/build/report-demo}")
bash "$repo/scripts/build.sh" dev keldan keldan-report
mkdir -p "$out"
cd "$out"
rm -f TEST TEST-wal TEST-shm
sqlite3 TEST < "$repo/db/schema/sqlite.sql"
export ODBCSYSINI=$repo/odbc ODBCINI=$repo/odbc/odbc.ini QT_QPA_PLATFORM=offscreen
export XDG_CONFIG_HOME=$out/config
mkdir -p "$XDG_CONFIG_HOME/Peak Systems"
# The drain stores one beacon per 10 ms tick: 100 packets a second keep up.
printf '[General]\nFeed=file:%s\nReplay Rate=100\n' "$repo/demo/aprs-demo.tnc2" \
  > "$XDG_CONFIG_HOME/Peak Systems/UI-View32.conf"
cp "$repo/build/dev/bin/keldan" .
rm -f keldan.ini
./keldan > bridge.log 2>&1 &
bridge=$!
sleep 25
kill -TERM $bridge
wait $bridge || true
echo "Stored: $(sqlite3 TEST 'select count(*) from stations') stations rows"
"$repo/build/dev/bin/keldan-report" --dsn myodbc3-test --database TEST --since all \
  --title "Keldan Bridge demo" -o report.html
chrome() {
  local profile
  profile=$(mktemp -d)
  DBUS_SESSION_BUS_ADDRESS=disabled: chromium --headless --no-sandbox --disable-gpu --disable-background-networking \
    --disable-component-update --disable-sync --no-first-run --hide-scrollbars --user-data-dir="$profile" "$@" \
    2> /dev/null
  rm -rf "$profile"
}
station=$(sqlite3 TEST "select callsign from stations where type = 2 group by callsign having count(distinct lat) > 2 order by count(*) desc limit 1")
chrome --window-size=1200,900 --screenshot="$repo/docs/report.png" "file://$out/report.html"
chrome --window-size=1200,900 --screenshot="$repo/docs/report-station.png" "file://$out/report.html#station=$station"
echo "Wrote $out/report.html, docs/report.png (the map) and docs/report-station.png ($station)"
