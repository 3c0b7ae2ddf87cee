#!/usr/bin/env bash
# What a service stop stores: the bridge replays the demo log fast enough to
# fill its queue, gets SIGTERM after STOP_AFTER seconds, and the beacons the
# queue held at the stop are compared with the rows the SQLite database has
# when the program has ended. See bench/RESULTS.md.
#
#   bash bench/stop/run.sh [KELDAN_BINARY] [STOP_AFTER_SECONDS] [REPLAY_RATE]
set -euo pipefail

repo=$(cd "$(dirname "$0")/../.." && pwd)
binary=$(realpath "${1:-$repo/build/ci/bin/keldan}")
stop_after=${2:-1.0}
rate=${3:-1000}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$binary" "$work/keldan"
cd "$work"
sqlite3 TEST < "$repo/db/schema/sqlite.sql"
mkdir -p "config/Peak Systems"
printf '[General]\nFeed=file:%s\nReplay%%20Rate=%s\n' "$repo/demo/aprs-demo.tnc2" "$rate" \
  > "config/Peak Systems/UI-View32.conf"

export ODBCSYSINI=$repo/odbc ODBCINI=$repo/odbc/odbc.ini XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=offscreen
./keldan 2> log &
pid=$!
sleep "$stop_after"
kill -TERM "$pid"
signalled=$(date +%s.%N)
status=0
wait "$pid" || status=$?
ended=$(date +%s.%N)

grep -E 'keldan.bridge' log | sed 's/^[0-9-]* [0-9:]* //'
waiting=$(sed -n 's/.*stopping: .*, \([0-9]*\) beacons waiting.*/\1/p' log)
beacons=$(sed -n 's/.*since start: received [0-9]*, beacons \([0-9]*\),.*/\1/p' log | tail -n 1)
refused=$(sed -n 's/.*refused \([0-9]*\);.*/\1/p' log | tail -n 1)
rows=$(sqlite3 TEST 'select count(*) from stations')
echo "exit status $status; $(echo "$ended - $signalled" | bc) s from SIGTERM to the end"
echo "queued at the stop: $waiting; beacons raised $beacons, refused by the full queue $refused," \
     "accepted $((beacons - refused)); stations rows stored $rows"
