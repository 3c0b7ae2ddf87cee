#!/usr/bin/env bash
# The installation, as a person would use it: cmake --install into a staging
# root (DESTDIR), then the installed files checked and the installed program
# run from there as its service runs it, without a display, its program
# folder in a /var/lib/keldan of its own, until a feed is in the database.
#
#   tst_install.sh BUILD_DIR VERSION
set -euo pipefail
build=$(realpath "$1")
expected_version=$2
work=$(mktemp -d)
bridge=
cleanup() {
  if [ -n "$bridge" ]; then kill -KILL "$bridge" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
pass() { echo "PASS: $*"; }
check() { local what=$1; shift; if "$@"; then pass "$what"; else fail "$what"; fi; }

root=$work/root
DESTDIR=$root cmake --install "$build" --prefix /usr >"$work/install.log"
usr=$root/usr

# --- what is installed ------------------------------------------------------
files=(bin/keldan libexec/keldan/keldan-folder lib/systemd/system/keldan.service
       share/applications/keldan.desktop share/icons/hicolor/scalable/apps/keldan.svg
       share/man/man1/keldan.1.gz share/keldan/schema/sqlite.sql share/keldan/schema/postgresql.sql
       share/keldan/schema/mariadb.sql share/keldan/odbc/odbc.ini share/keldan/odbc/odbcinst.ini
       share/keldan/demo/aprs-demo.tnc2 share/doc/keldan/README.md share/doc/keldan/LICENSE
       share/doc/keldan/copyright)
for size in 16 24 32 48 64 128 256; do files+=("share/icons/hicolor/${size}x$size/apps/keldan.png"); done
missing=()
for f in "${files[@]}"; do [ -s "$usr/$f" ] || missing+=("$f"); done
check "every file installed (missing: ${missing[*]:-none})" test ${#missing[@]} -eq 0
check "program and folder script executable" test -x "$usr/bin/keldan" -a -x "$usr/libexec/keldan/keldan-folder"

# A PNG's width and height are the big-endian words at bytes 16 and 20.
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{print $3*256+$4 "x" $7*256+$8}'; }
wrong=()
for size in 16 24 32 48 64 128 256; do
  png=$usr/share/icons/hicolor/${size}x$size/apps/keldan.png
  [ "$(head -c 8 "$png" | od -An -tx1 | tr -d ' ')" = 89504e470d0a1a0a ] && [ "$(png_size "$png")" = "${size}x$size" ] \
    || wrong+=("${size}x$size")
done
check "icons are PNG files of their size (wrong: ${wrong[*]:-none})" test ${#wrong[@]} -eq 0

check "LICENSE is the GPL-3.0" grep -q 'GNU GENERAL PUBLIC LICENSE' "$usr/share/doc/keldan/LICENSE"
check "ODBC example names no architecture's folder" \
  bash -c "! grep -nE '^[^;]*(linux-gnu|/usr/lib|/lib/)' '$usr/share/keldan/odbc/odbcinst.ini' '$usr/share/keldan/odbc/odbc.ini'"
unit=$usr/lib/systemd/system/keldan.service
check "unit: own user, /var/lib/keldan, restart on failure" bash -c "
  grep -qx 'DynamicUser=yes' '$unit' && grep -qx 'StateDirectory=keldan' '$unit' &&
  grep -qx 'WorkingDirectory=/var/lib/keldan' '$unit' && grep -qx 'Restart=on-failure' '$unit' &&
  grep -qx 'ExecStart=/usr/bin/keldan --program-folder /var/lib/keldan' '$unit' &&
  grep -qx 'ExecStartPre=/usr/libexec/keldan/keldan-folder prepare /var/lib/keldan' '$unit'"
check "unit: a serial TNC opens (group dialout), runtime folder owner only" bash -c "
  grep -qx 'SupplementaryGroups=dialout' '$unit' && grep -qx 'RuntimeDirectoryMode=0700' '$unit'"

if command -v desktop-file-validate >/dev/null; then
  check "desktop-file-validate" bash -c "out=\$(desktop-file-validate '$usr/share/applications/keldan.desktop' 2>&1) && [ -z \"\$out\" ] || { echo \"\$out\"; false; }"
fi
if command -v systemd-analyze >/dev/null; then
  # The unit names /usr paths; verified as a copy that names the staged ones.
  mkdir -p "$work/verify"
  sed "s|=/usr/|=$usr/|" "$unit" >"$work/verify/keldan.service"
  check "systemd-analyze verify" bash -c "out=\$(MANPATH='$usr/share/man' systemd-analyze verify '$work/verify/keldan.service' 2>&1) && [ -z \"\$out\" ] || { echo \"\$out\"; false; }"
fi
if command -v man >/dev/null; then
  check "keldan(1) renders without warnings" bash -c "out=\$(MANWIDTH=80 man --warnings -l '$usr/share/man/man1/keldan.1.gz' 2>&1 >/dev/null) && [ -z \"\$out\" ] || { echo \"\$out\"; false; }"
fi

# --- the installed program's command line -------------------------------------
program=$usr/bin/keldan
quiet_env=(env -i PATH="$PATH" HOME="$work" XDG_RUNTIME_DIR="$work")
mkdir -p "$work/empty"
chmod 700 "$work"
version=$(cd "$work/empty" && "${quiet_env[@]}" "$program" --version)
check "--version: $version" test "$version" = "keldan $expected_version"
help=$(cd "$work/empty" && "${quiet_env[@]}" "$program" --help)
check "--help names --program-folder" grep -q -- '--program-folder <DIR>' <<<"$help"
set +e
(cd "$work/empty" && "${quiet_env[@]}" "$program" --bogus >"$work/bogus.out" 2>"$work/bogus.err")
status=$?
set -e
check "unknown option: exit 2 (got $status)" test "$status" = 2
check "unknown option: says which" grep -qx "keldan: Unknown option 'bogus'." "$work/bogus.err"
check "nothing written by --version, --help or a bad option" test -z "$(ls -A "$work/empty")"

# --- the service's folder, by hand ------------------------------------------
state=$work/var/lib/keldan
"$usr/libexec/keldan/keldan-folder" prepare "$state" 2>"$work/prepare.err"
check "prepare: database from the installed schema" \
  test "$(sqlite3 "$state/TEST" "select group_concat(name, ' ') from (select name from sqlite_master where type = 'table' order by name)")" = "fixed_data mobile_data stations wx_data"
check "prepare: odbc.ini from the example, owner only" \
  bash -c "cmp -s '$state/odbc.ini' '$usr/share/keldan/odbc/odbc.ini' && [ \"\$(stat -c %a '$state/odbc.ini')\" = 600 ]"

# Ten fixed, ten mobile and ten weather stations, every line a beacon.
feed=$work/feed.tnc2
for i in 1 2 3 4 5 6 7 8 9 10; do
  printf 'N0FIX-%d>APRS,TCPIP*:!5130.%02dN/00010.00W-fixed station %d\n' "$i" "$i" "$i"
  printf 'N0MOB-%d>APRS,TCPIP*:!5131.%02dN/00011.00W>090/0%02d/A=000100 mobile %d\n' "$i" "$i" $((i + 10)) "$i"
  printf 'N0WX-%d>APRS,TCPIP*:!5132.%02dN/00012.00W_180/005g010t0%02dr000p000P000h50b10150\n' "$i" "$i" $((i + 40))
done >"$feed"
mkdir -p "$state/config/Peak Systems"
printf '[General]\nFeed=file:%s\nReplay%%20Rate=50\n' "$feed" >"$state/config/Peak Systems/UI-View32.conf"

# As the unit runs it: working directory and program folder the state folder,
# the system's registered ODBC drivers, no display and no platform chosen.
mkdir -m 700 "$work/run"
(cd "$state" && exec env -i PATH="$PATH" HOME="$work" ODBCINI="$state/odbc.ini" XDG_CONFIG_HOME="$state/config" \
   XDG_RUNTIME_DIR="$work/run" "$program" --program-folder "$state" >"$work/bridge.out" 2>"$work/bridge.err") &
bridge=$!
counts() {
  sqlite3 "$state/TEST" "select (select count(*) from stations) || ' ' || (select count(*) from fixed_data) || ' ' ||
    (select count(*) from mobile_data) || ' ' || (select count(*) from wx_data)" 2>/dev/null || echo busy
}
stored=
for _ in $(seq 1 200); do
  stored=$(counts)
  [ "$stored" = "30 10 10 10" ] && break
  kill -0 "$bridge" 2>/dev/null || break
  sleep 0.2
done
check "the feed is in the database: stations, fixed, mobile, wx = $stored" test "$stored" = "30 10 10 10"
kill -TERM "$bridge" 2>/dev/null || true
set +e
wait "$bridge"
status=$?
set -e
bridge=
check "SIGTERM ends the bridge with status 0 (got $status)" test "$status" = 0
check "offscreen said once on standard error" test "$(grep -c 'running on the offscreen platform' "$work/bridge.err")" = 1
check "keldan.ini written in the program folder" test -s "$state/keldan.ini"
"$usr/libexec/keldan/keldan-folder" prepare "$state"
check "prepare keeps an existing database" test "$(counts)" = "30 10 10 10"

# The desktop entry's way: a folder of one's own, prepared, then the program.
desk=$work/desk
version=$(env -i PATH="$PATH" HOME="$work" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/run" \
            "$usr/libexec/keldan/keldan-folder" run "$desk" --version 2>/dev/null)
check "keldan-folder run prepares its folder and starts the program" \
  test -s "$desk/TEST" -a -s "$desk/odbc.ini" -a "${version%% *}" = keldan

if [ "$failures" -ne 0 ]; then
  echo "--- bridge standard error"; cat "$work/bridge.err" || true
  echo "$failures failed"
  exit 1
fi
echo "all passed"
