#!/usr/bin/env bash
# Renders the main and Setup windows into docs/ under a virtual X server.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cmake --build --preset dev --target keldan_screenshots
mkdir -p "$repo/docs"
cd "$(mktemp -d)"
# The default settings write into the SQLite file TEST of the current folder.
sqlite3 TEST < "$repo/db/schema/sqlite.sql"
ODBCSYSINI=$repo/odbc ODBCINI=$repo/odbc/odbc.ini \
  xvfb-run -a -s '-screen 0 1024x768x24 -dpi 96' "$repo/build/dev/tools/keldan_screenshots" "$repo/docs"
echo "Wrote $repo/docs/form1.png and $repo/docs/form2.png"
