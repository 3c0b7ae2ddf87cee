#!/usr/bin/env bash
# The installation, as a person would use it: cmake --install into a staging
# root (DESTDIR), then the installed files checked and the installed program
# run from there with the service's command line, without a display, as an
# unprivileged user in the group dialout, its program folder in a
# /var/lib/keldan of its own, until a log feed and a serial pseudo-terminal
# feed of keldan.conf are in the database.
#
#   tst_install.sh BUILD_DIR VERSION
set -euo pipefail
build=$(realpath "$1")
expected_version=$2
work=$(mktemp -d)
bridge=
tnc=
cleanup() {
  if [ -n "$bridge" ]; then kill -KILL "$bridge" 2>/dev/null || true; fi
  if [ -n "$tnc" ]; then kill -KILL "$tnc" 2>/dev/null || true; fi
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
files=(bin/keldan bin/keldan-import bin/keldan-report libexec/keldan/keldan-folder lib/systemd/system/keldan.service
       share/applications/keldan.desktop share/icons/hicolor/scalable/apps/keldan.svg
       share/man/man1/keldan.1.gz share/man/man1/keldan-import.1.gz share/man/man1/keldan-report.1.gz
       share/man/man5/keldan.conf.5.gz share/keldan/schema/sqlite.sql share/keldan/schema/postgresql.sql
       share/keldan/schema/mariadb.sql share/keldan/odbc/odbc.ini share/keldan/odbc/odbcinst.ini
       share/keldan/demo/aprs-demo.tnc2 share/doc/keldan/README.md share/doc/keldan/LICENSE
       share/doc/keldan/copyright)
for size in 16 24 32 48 64 128 256; do files+=("share/icons/hicolor/${size}x$size/apps/keldan.png"); done
missing=()
for f in "${files[@]}"; do [ -s "$usr/$f" ] || missing+=("$f"); done
check "every file installed (missing: ${missing[*]:-none})" test ${#missing[@]} -eq 0
check "programs and folder script executable" bash -c "
  test -x '$usr/bin/keldan' -a -x '$usr/bin/keldan-import' -a -x '$usr/bin/keldan-report' -a -x '$usr/libexec/keldan/keldan-folder'"
conf=$root/etc/keldan/keldan.conf
check "/etc/keldan/keldan.conf installed, every setting commented out" \
  bash -c "[ -s '$conf' ] && ! grep -Ev '^[#;]|^[[:space:]]*\$' '$conf'"
echo '# edited by the administrator' >>"$conf"
DESTDIR=$root cmake --install "$build" --prefix /usr >>"$work/install.log"
check "a second cmake --install keeps an edited keldan.conf" grep -qx '# edited by the administrator' "$conf"

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
  grep -qx 'ExecStart=/usr/bin/keldan --config /etc/keldan/keldan.conf --program-folder /var/lib/keldan' '$unit' &&
  grep -qx 'ExecStartPre=/usr/libexec/keldan/keldan-folder service /var/lib/keldan' '$unit' &&
  grep -qx 'RestartPreventExitStatus=2' '$unit'"
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
  for page in man1/keldan.1 man1/keldan-import.1 man1/keldan-report.1 man5/keldan.conf.5; do
    check "$(basename $page) renders without warnings" bash -c "out=\$(MANWIDTH=80 man --warnings -l '$usr/share/man/$page.gz' 2>&1 >/dev/null) && [ -z \"\$out\" ] || { echo \"\$out\"; false; }"
  done
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

check "--help names --config" grep -q -- '--config <FILE>' <<<"$help"
# A wrong --config file ends the program before it starts anything.
printf 'Feed = kiss://127.0.0.1:8001\nTimezone = UTC\n' >"$work/wrong.conf"
for case in "$work/wrong.conf|line 2: \"Timezone\" is no setting" "$work/none.conf|cannot be read (No such file or directory)"; do
  file=${case%%|*}
  set +e
  (cd "$work/empty" && "${quiet_env[@]}" "$program" --config "$file" >"$work/conf.out" 2>"$work/conf.err")
  status=$?
  set -e
  check "--config $(basename "$file"): exit 2 (got $status), names the problem" \
    bash -c "[ $status = 2 ] && grep -qF 'keldan: $file: ${case#*|}' '$work/conf.err'"
done
check "nothing written by a wrong --config" test -z "$(ls -A "$work/empty")"

# --- the service's folder and command line, by hand ----------------------------
# Another user than root, as systemd's DynamicUser makes one, in the group
# dialout, with nothing but its folders: the state folder and a runtime folder.
uid=61873
state=$work/var/lib/keldan
"$usr/libexec/keldan/keldan-folder" service "$state" 2>"$work/prepare.err"
check "service: database from the installed schema" \
  test "$(sqlite3 "$state/keldan.sqlite" "select group_concat(name, ' ') from (select name from sqlite_master where type = 'table' order by name)")" = "fixed_data mobile_data stations wx_data"
check "service: keldan.ini names the data source keldan and the database, owner only" bash -c "
  [ \"\$(tr -d '\r' <'$state/keldan.ini' | grep -E '^(DSN|DATABASE)=')\" = \"DSN=keldan
DATABASE=$state/keldan.sqlite\" ] && [ \"\$(stat -c %a '$state/keldan.ini')\" = 600 ]"
check "service: odbc.ini's data source keldan on the database file" \
  bash -c "grep -qx '\[keldan\]' '$state/odbc.ini' && grep -qx 'Database=$state/keldan.sqlite' '$state/odbc.ini'"
printf 'DSN=keldan\r\nDATABASE=elsewhere\r\n' >"$state/keldan.ini"
"$usr/libexec/keldan/keldan-folder" service "$state" 2>/dev/null
check "service: an existing keldan.ini is never overwritten" grep -q elsewhere "$state/keldan.ini"
rm "$state/keldan.ini"
"$usr/libexec/keldan/keldan-folder" service "$state" 2>/dev/null
chown -R "$uid:$uid" "$state"
chmod 755 "$work" "$work/var" "$work/var/lib"

# Ten fixed, ten mobile and ten weather stations, every line a beacon.
feed=$work/feed.tnc2
for i in 1 2 3 4 5 6 7 8 9 10; do
  printf 'N0FIX-%d>APRS,TCPIP*:!5130.%02dN/00010.00W-fixed station %d\n' "$i" "$i" "$i"
  printf 'N0MOB-%d>APRS,TCPIP*:!5131.%02dN/00011.00W>090/0%02d/A=000100 mobile %d\n' "$i" "$i" $((i + 10)) "$i"
  printf 'N0WX-%d>APRS,TCPIP*:!5132.%02dN/00012.00W_180/005g010t0%02dr000p000P000h50b10150\n' "$i" "$i" $((i + 40))
done >"$feed"
chmod 644 "$feed"

# A KISS TNC on a serial pseudo-terminal, root's, opened through the group
# dialout as the service opens one: socat names it in a runtime folder (the
# service's /tmp is its own, so not there), and writes two fixed stations
# once the bridge has opened it.
ax25_address() {  # CALL(no SSID) LAST(0|1)
  local call=$1 last=$2 i c
  for i in 0 1 2 3 4 5; do
    c=${call:i:1}; [ -n "$c" ] || c=' '
    printf "\\$(printf %03o $(( $(printf %d "'$c") << 1 )))"
  done
  printf "\\$(printf %03o $(( 0x60 | last )))"
}
kiss_frame() {  # SRC DST INFO: one KISS data frame on port 0
  { ax25_address "$2" 0; ax25_address "$1" 1; printf '\003\360%s' "$3"; } >"$work/frame.bin"
  printf '\300\000'
  od -An -v -tx1 "$work/frame.bin" | tr -s ' ' '\n' | sed '/^$/d' | while read -r byte; do
    case $byte in c0) printf '\333\334' ;; db) printf '\333\335' ;; *) printf "\\x$byte" ;; esac
  done
  printf '\300'
}
{ kiss_frame N0PTYA APRS '!5133.00N/00013.00W-pty one'; kiss_frame N0PTYB APRS '!5133.50N/00013.50W-pty two'; } \
  >"$work/frames.kiss"
ptys=$work/run/ptys
mkdir -p "$ptys"
chmod 755 "$work/run" "$ptys"
socat pty,link="$ptys/kisstnc",rawer,group=dialout,perm=0660,wait-slave \
  SYSTEM:"sleep 1; cat '$work/frames.kiss'; sleep 600" 2>"$work/socat.err" &
tnc=$!
for _ in $(seq 1 50); do [ -L "$ptys/kisstnc" ] && break; sleep 0.1; done

# The live page on a loopback port nothing answers on.
web_port=
for _ in $(seq 1 20); do
  candidate=$((20000 + RANDOM % 20000))
  if ! (exec 3<>"/dev/tcp/127.0.0.1/$candidate") 2>/dev/null; then web_port=$candidate; break; fi
done
http_get() {  # PATH: the response, headers and body
  exec 3<>"/dev/tcp/127.0.0.1/$web_port" || return 1
  printf 'GET %s HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n' "$1" >&3
  timeout 5 cat <&3
  exec 3<&-
}

# The service's keldan.conf: the installed one with two feed lines set.
mkdir -p "$work/etc"
{ cat "$conf"; printf 'Feed = file:%s\nFeed 2 = serial:%s/kisstnc\nReplay Rate = 50\nWeb = 127.0.0.1:%s\n' \
  "$feed" "$ptys" "$web_port"; } >"$work/etc/keldan.conf"
chmod 644 "$work/etc/keldan.conf"

# As the unit runs it: its command line, working directory the state folder,
# the system's registered ODBC drivers, no display and no platform chosen.
mkdir -m 700 "$work/run/keldan"
chown "$uid:$uid" "$work/run/keldan"
(cd "$state" && exec setpriv --reuid="$uid" --regid="$uid" --groups=dialout --inh-caps=-all \
   env -i PATH="$PATH" HOME="$state" ODBCINI="$state/odbc.ini" XDG_CONFIG_HOME="$state/config" \
   XDG_RUNTIME_DIR="$work/run/keldan" \
   "$program" --config "$work/etc/keldan.conf" --program-folder "$state" >"$work/bridge.out" 2>"$work/bridge.err") &
bridge=$!
counts() {
  sqlite3 "$state/keldan.sqlite" "select (select count(*) from stations) || ' ' || (select count(*) from fixed_data) || ' ' ||
    (select count(*) from mobile_data) || ' ' || (select count(*) from wx_data)" 2>/dev/null || echo busy
}
stored=
for _ in $(seq 1 200); do
  stored=$(counts)
  [ "$stored" = "32 12 10 10" ] && break
  kill -0 "$bridge" 2>/dev/null || break
  sleep 0.2
done
check "both feeds are in the database: stations, fixed, mobile, wx = $stored" test "$stored" = "32 12 10 10"
check "the pseudo-terminal's stations came through the serial feed" \
  test "$(sqlite3 "$state/keldan.sqlite" "select count(*) from stations where callsign like 'N0PTY%'")" = 2
map=$(http_get /api/map 2>/dev/null || true)
check "the live page's map shows stations of both feeds" \
  bash -c "grep -q 'N0PTYA' <<<'$map' && grep -q 'N0WX-10' <<<'$map' && grep -q 'N0MOB-3' <<<'$map'"
page=$(http_get / 2>/dev/null || true)
check "the live page answers as the service's user" grep -q '^HTTP/1.[01] 200' <<<"$page"
dialout=$(getent group dialout | cut -d: -f3)
check "the bridge runs as user $uid in the group dialout ($dialout)" bash -c "
  grep -Eq '^Uid:[[:space:]]+$uid[[:space:]]' /proc/$bridge/status && grep -Eq '^Groups:[[:space:]]+$dialout[[:space:]]*\$' /proc/$bridge/status"
kill -TERM "$bridge" 2>/dev/null || true
set +e
wait "$bridge"
status=$?
set -e
bridge=
check "SIGTERM ends the bridge with status 0 (got $status)" test "$status" = 0
check "offscreen said once on standard error" test "$(grep -c 'running on the offscreen platform' "$work/bridge.err")" = 1
check "keldan.ini kept as the package wrote it" grep -q '^DSN=keldan' "$state/keldan.ini"
"$usr/libexec/keldan/keldan-folder" service "$state" 2>/dev/null
check "service keeps an existing database" test "$(counts)" = "32 12 10 10"

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
