#!/usr/bin/env bash
# The running bridge: CPU and resident memory while idle (its 10 ms drain
# timer ticking, no traffic) and while recording the demo feed.
# Usage: bench/idle/run.sh [BUILD_DIR] [SECONDS]   (defaults build/dev, 60)
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath "${1:-$repo/build/dev}")
seconds=${2:-60}
cmake --build "$build" --target keldan > /dev/null
ticks=$(getconf CLK_TCK)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$build/bin/keldan" "$work/"
cd "$work"
sqlite3 TEST < "$repo/db/schema/sqlite.sql"
export ODBCSYSINI=$repo/odbc ODBCINI=$repo/odbc/odbc.ini QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=$work/config
mkdir -p "config/Peak Systems"

cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
field_kb() { awk -v k="$2:" '$1 == k {print $2}' "/proc/$1/status"; }

measure() {  # label feed
  printf '[General]\nFeed=%s\nReplay%%20Rate=20\n' "$2" > "config/Peak Systems/UI-View32.conf"
  ./keldan 2> keldan.log &
  local pid=$! start end
  sleep 5
  start=$(cpu_ticks $pid)
  sleep "$seconds"
  end=$(cpu_ticks $pid)
  local rss hwm
  rss=$(field_kb $pid VmRSS)
  hwm=$(field_kb $pid VmHWM)
  kill -TERM $pid
  wait $pid || true
  awk -v l="$1" -v t=$((end - start)) -v hz="$ticks" -v s="$seconds" -v r="$rss" -v h="$hwm" \
    'BEGIN { printf "%-28s CPU %.2f%% of a core over %d s, RSS %.1f MiB (peak %.1f MiB)\n", l, 100 * t / hz / s, s, r / 1024, h / 1024 }'
}

# Nothing listens on this port: the KISS link backs off and retries.
measure "idle (no feed connected)" "kiss://127.0.0.1:9"
measure "demo log at 20 packets/s" "file:$repo/demo/aprs-demo.tnc2"
echo "rows stored from the demo log: $(sqlite3 TEST 'select count(*) from stations')"
