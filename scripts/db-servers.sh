#!/usr/bin/env bash
# PostgreSQL 15 and MariaDB servers of our own for the tests, on 127.0.0.1,
# with everything under ROOT. As root (Debian 12).
#
#   db-servers.sh start [ROOT]     (re)creates and starts both servers and
#                                  writes ROOT/odbc.ini; stops leftovers first
#   db-servers.sh stop [ROOT]      stops both; safe after a failed start
#   db-servers.sh stop-postgres|start-postgres|stop-mariadb|start-mariadb [ROOT]
#                                  stop or restart one server, data kept (for
#                                  tests of a server that goes away mid-run)
#   db-servers.sh sql-postgres|sql-mariadb ROOT STATEMENT
#                                  runs one statement as the server's own
#                                  administrator on the database keldan (for
#                                  tests that switch a server's settings)
#
# ROOT defaults to build/dbservers. Both servers get the database keldan and
# the user keldan with password keldan. ROOT/odbc.ini names the data sources
# keldan-postgres, keldan-mariadb and myodbc3-test (SQLite), for use with
# ODBCSYSINI=<repo>/odbc ODBCINI=ROOT/odbc.ini.
#
# Ports: 54329 and 33069, or the next free ones when another set of servers
# (another build folder) holds them; ROOT/ports records the choice. A set of
# servers that must keep clear of those (a test's own, started beside the
# shared ones) names other first ports in KELDAN_PG_PORT and
# KELDAN_MARIADB_PORT.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
command=${1:-}
root=$(realpath -m "${2:-$repo/build/dbservers}")

pg_bin=/usr/lib/postgresql/15/bin
pg_link=$root/postgres
pg_dir=$pg_link
# A PostgreSQL folder outside ROOT (see prepare_pg_dir) is used by its own path.
if [ -L "$pg_link" ]; then pg_dir=$(readlink -f "$pg_link"); fi
ma_dir=$root/mariadb
ports_file=$root/ports
wait_seconds=60

say() { echo "db-servers: $*"; }
fail() { echo "db-servers: $*" >&2; exit 1; }

port_in_use() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

free_port() {
  local port=$1 tries=0
  while port_in_use "$port"; do
    port=$((port + 1)); tries=$((tries + 1))
    [ "$tries" -lt 100 ] || fail "no free port near $1 on 127.0.0.1"
  done
  echo "$port"
}

load_ports() {
  [ -f "$ports_file" ] || fail "$ports_file missing: run '$0 start $root' first"
  # shellcheck source=/dev/null
  . "$ports_file"
}

# The process of a pid file, if it still runs the expected program.
live_pid() {
  local file=$1 name=$2 pid
  [ -f "$file" ] || return 1
  pid=$(head -n 1 "$file" 2>/dev/null | tr -dc '0-9')
  [ -n "$pid" ] && [ -d "/proc/$pid" ] || return 1
  [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = "$name" ] || return 1
  echo "$pid"
}

# TERM, then KILL after a bounded wait.
end_process() {
  local pid=$1 waited=0
  kill -TERM "$pid" 2>/dev/null || return 0
  while [ -d "/proc/$pid" ] && [ "$waited" -lt $((wait_seconds * 10)) ]; do
    sleep 0.1; waited=$((waited + 1))
  done
  if [ -d "/proc/$pid" ]; then
    kill -KILL "$pid" 2>/dev/null || true
  fi
}

# --- PostgreSQL -----------------------------------------------------------

# The server runs as postgres, which must reach its folder. A ROOT below a
# folder postgres cannot enter (such as /root) gets its PostgreSQL folder in
# /tmp instead, linked from ROOT/postgres.
prepare_pg_dir() {
  if [ -L "$pg_link" ]; then rm -rf "$(readlink -f "$pg_link")"; fi
  rm -rf "$pg_link"
  if runuser -u postgres -- test -x "$root"; then
    pg_dir=$pg_link
    mkdir -p "$pg_dir"
  else
    pg_dir=/tmp/keldan-postgres-$(echo -n "$root" | md5sum | cut -c1-12)
    rm -rf "$pg_dir"
    mkdir -p "$pg_dir"
    ln -s "$pg_dir" "$pg_link"
  fi
  mkdir -p "$pg_dir/sock"
  chown -R postgres:postgres "$pg_dir/"
  chmod 700 "$pg_dir/"
}

pg_ctl_as_postgres() { runuser -u postgres -- "$pg_bin/pg_ctl" -D "$pg_dir/data" "$@"; }

stop_postgres() {
  [ -e "$pg_dir/data/postmaster.pid" ] || return 0
  if ! pg_ctl_as_postgres stop -m fast -w -t "$wait_seconds" >/dev/null 2>&1; then
    local pid
    if pid=$(live_pid "$pg_dir/data/postmaster.pid" postgres); then
      end_process "$pid"
    fi
  fi
  say "PostgreSQL stopped"
}

start_postgres() {
  load_ports
  if ! pg_ctl_as_postgres start -w -t "$wait_seconds" -l "$pg_dir/server.log" >/dev/null 2>&1; then
    tail -n 20 "$pg_dir/server.log" >&2 || true
    fail "PostgreSQL did not start on 127.0.0.1:$PG_PORT"
  fi
  local waited=0
  until "$pg_bin/pg_isready" -q -h 127.0.0.1 -p "$PG_PORT"; do
    [ "$waited" -lt $((wait_seconds * 10)) ] || fail "PostgreSQL does not answer on 127.0.0.1:$PG_PORT"
    sleep 0.1; waited=$((waited + 1))
  done
  say "PostgreSQL on 127.0.0.1:$PG_PORT"
}

create_postgres() {
  prepare_pg_dir
  if ! runuser -u postgres -- "$pg_bin/initdb" -D "$pg_dir/data" -U postgres -E UTF8 --no-locale \
       --auth-local=trust --auth-host=scram-sha-256 >"$pg_dir/initdb.log" 2>&1; then
    tail -n 20 "$pg_dir/initdb.log" >&2
    fail "initdb failed"
  fi
  cat >>"$pg_dir/data/postgresql.conf" <<EOF
listen_addresses = '127.0.0.1'
port = $PG_PORT
unix_socket_directories = '$pg_dir/sock'
EOF
  start_postgres
  "$pg_bin/psql" -q -X -v ON_ERROR_STOP=1 -h "$pg_dir/sock" -p "$PG_PORT" -U postgres -d postgres \
    -c "CREATE ROLE keldan LOGIN PASSWORD 'keldan'" \
    -c "CREATE DATABASE keldan OWNER keldan ENCODING 'UTF8' TEMPLATE template0" >/dev/null
}

# --- MariaDB --------------------------------------------------------------

ma_client() { mariadb --no-defaults --socket="$ma_dir/mariadb.sock" -u root "$@"; }

stop_mariadb() {
  local pid
  if pid=$(live_pid "$ma_dir/mariadbd.pid" mariadbd); then
    end_process "$pid"
    say "MariaDB stopped"
  fi
  rm -f "$ma_dir/mariadbd.pid"
}

# Options a failed first install chose (see create_mariadb).
server_options() { cat "$ma_dir/server-options" 2>/dev/null || true; }

start_mariadb() {
  load_ports
  # Own session and no inherited output, so that neither ctest's wait for
  # the test's output nor its clean-up of the test's processes catch it.
  setsid mariadbd --no-defaults --user=root --bind-address=127.0.0.1 --port="$MARIADB_PORT" \
    --socket="$ma_dir/mariadb.sock" --datadir="$ma_dir/data" --pid-file="$ma_dir/mariadbd.server.pid" \
    --log-error="$ma_dir/error.log" --skip-name-resolve \
    --character-set-server=utf8mb4 --collation-server=utf8mb4_general_ci $(server_options) \
    </dev/null >>"$ma_dir/mariadbd.out" 2>&1 &
  echo $! >"$ma_dir/mariadbd.pid"
  local waited=0
  until mariadb-admin --no-defaults --socket="$ma_dir/mariadb.sock" -u root ping >/dev/null 2>&1; do
    if ! live_pid "$ma_dir/mariadbd.pid" mariadbd >/dev/null || [ "$waited" -ge $((wait_seconds * 10)) ]; then
      tail -n 20 "$ma_dir/error.log" >&2 || true
      fail "MariaDB did not start on 127.0.0.1:$MARIADB_PORT"
    fi
    sleep 0.1; waited=$((waited + 1))
  done
  say "MariaDB on 127.0.0.1:$MARIADB_PORT"
}

install_mariadb() {
  rm -rf "$ma_dir/data"
  mariadb-install-db --no-defaults --datadir="$ma_dir/data" --user=root \
    --auth-root-authentication-method=socket --skip-test-db $(server_options) >"$ma_dir/install.log" 2>&1
}

# The cause of a failed install sits above mariadb-install-db's closing
# advice, which is all a tail shows.
show_install_failure() {
  grep -n -i -E 'error|fatal|fail|abort|cannot|can.t' "$ma_dir/install.log" | head -n 30 >&2 || true
}

create_mariadb() {
  rm -rf "$ma_dir"
  mkdir -p "$ma_dir"
  if ! install_mariadb; then
    show_install_failure
    # Seen once, beside other servers starting: try again without the
    # kernel's asynchronous I/O (its limits are shared by the whole machine),
    # and keep the server on that setting.
    say "mariadb-install-db failed; trying again with --innodb-use-native-aio=0"
    echo "--innodb-use-native-aio=0" >"$ma_dir/server-options"
    if ! install_mariadb; then
      show_install_failure
      tail -n 20 "$ma_dir/install.log" >&2
      fail "mariadb-install-db failed"
    fi
  fi
  start_mariadb
  ma_client <<'EOF'
CREATE DATABASE keldan CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci;
CREATE USER 'keldan'@'%' IDENTIFIED BY 'keldan';
CREATE USER 'keldan'@'localhost' IDENTIFIED BY 'keldan';
GRANT ALL PRIVILEGES ON keldan.* TO 'keldan'@'%';
GRANT ALL PRIVILEGES ON keldan.* TO 'keldan'@'localhost';
FLUSH PRIVILEGES;
EOF
}

# --- ODBC -----------------------------------------------------------------

write_odbc_ini() {
  cat >"$root/odbc.ini" <<EOF
; Written by scripts/db-servers.sh; use with ODBCSYSINI=$repo/odbc.

[myodbc3-test]
Description=Keldan Bridge SQLite database
Driver=SQLite3
JournalMode=WAL
SyncPragma=NORMAL
Timeout=5000
NoCreat=1

[keldan-postgres]
Description=Keldan Bridge test PostgreSQL
Driver=PostgreSQL Unicode
Servername=127.0.0.1
Port=$PG_PORT
Database=keldan

[keldan-mariadb]
Description=Keldan Bridge test MariaDB
Driver=MariaDB Unicode
Server=127.0.0.1
Port=$MARIADB_PORT
Database=keldan
Charset=utf8mb4
; The driver gives up reading from a server that answers nothing (seconds);
; above the bridge's own 10 s stall limit, which comes first.
READ_TIMEOUT=20
WRITE_TIMEOUT=20
EOF
}

stop_all() {
  stop_postgres
  stop_mariadb
}

case "$command" in
  start)
    [ "$(id -u)" = 0 ] || fail "run as root"
    [ -x "$pg_bin/initdb" ] || fail "PostgreSQL 15 is not installed ($pg_bin)"
    command -v mariadbd >/dev/null || fail "MariaDB server is not installed"
    mkdir -p "$root"
    stop_all
    PG_PORT=$(free_port "${KELDAN_PG_PORT:-54329}")
    MARIADB_PORT=$(free_port "${KELDAN_MARIADB_PORT:-33069}")
    printf 'PG_PORT=%s\nMARIADB_PORT=%s\n' "$PG_PORT" "$MARIADB_PORT" >"$ports_file"
    write_odbc_ini
    create_postgres
    create_mariadb
    say "ready; ODBCSYSINI=$repo/odbc ODBCINI=$root/odbc.ini"
    ;;
  stop) stop_all ;;
  stop-postgres) stop_postgres ;;
  start-postgres) start_postgres ;;
  stop-mariadb) stop_mariadb ;;
  start-mariadb) start_mariadb ;;
  sql-postgres)
    load_ports
    "$pg_bin/psql" -q -X -v ON_ERROR_STOP=1 -h "$pg_dir/sock" -p "$PG_PORT" -U postgres -d keldan -c "${3:?statement}"
    ;;
  sql-mariadb) ma_client -D keldan -e "${3:?statement}" ;;
  *)
    echo "usage: $0 start|stop|stop-postgres|start-postgres|stop-mariadb|start-mariadb [ROOT]" >&2
    echo "       $0 sql-postgres|sql-mariadb ROOT STATEMENT" >&2
    exit 2
    ;;
esac
