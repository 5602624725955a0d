# Throwaway database servers for the database tests, sourced by scripts/test
# (or by a developer's shell):
#
#   source scripts/lib/databases.sh
#   fh_start_databases     # PostgreSQL 15 and MariaDB in a temporary directory
#   ctest --test-dir build/gcc -L db
#   fh_stop_databases      # also runs on EXIT
#
# fh_start_databases starts each server as an unprivileged user on a private
# unix socket and a private port on 127.0.0.1, creates the test database and
# user, writes an odbc.ini naming one data source per server and exports:
#   ODBCINI                                 the odbc.ini written
#   FH_TEST_PGSQL_DSN, FH_TEST_MARIADB_DSN  the data source names
#   FH_TEST_PGSQL_USER/_PASSWORD, FH_TEST_MARIADB_USER/_PASSWORD
#   FH_TEST_DB_RESTART                      a command: "$FH_TEST_DB_RESTART pgsql"
#                                           (or mariadb) stops that server and
#                                           starts it again on its port
# A server whose port is taken before it binds is started on another one.
# SQLite needs no server: the tests make their database files themselves.
# Calling it again while the servers run does nothing. It prints one line.

FH_DB_PGSQL_BIN=${FH_DB_PGSQL_BIN:-/usr/lib/postgresql/15/bin}

# A TCP port on 127.0.0.1 that nothing listens on.
fh_db_free_port() {
  local port
  while :; do
    port=$((20000 + RANDOM % 40000))
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
      echo "$port"
      return 0
    fi
  done
}

# Runs a command as user (as is when user is empty).
fh_db_as() {
  local user=$1
  shift
  if [ -n "$user" ]; then runuser -u "$user" -- "$@"; else "$@"; fi
}

fh_db_fail() {
  echo "fh_start_databases: $1 (logs in $FH_DB_RUN_DIR)" >&2
  [ -f "$2" ] && tail -n 20 "$2" >&2
  return 1
}

# true when a server's log says its port was taken before it could bind.
# The failed server may still be writing its last lines when its starter
# returns: the log is read again for up to 2 s.
fh_db_port_taken() {
  local tries=0
  until grep -qE "Address already in use|Bind on TCP/IP port" "$1" 2>/dev/null; do
    tries=$((tries + 1))
    [ "$tries" -ge 20 ] && return 1
    sleep 0.1
  done
}

# Starts the PostgreSQL server of an initialised cluster on FH_DB_PGSQL_PORT.
fh_db_run_pgsql() {
  local dir=$FH_DB_RUN_DIR/pgsql user=""
  [ "$(id -u)" -eq 0 ] && user=postgres
  : >"$dir/server.log"
  [ -n "$user" ] && chown "$user" "$dir/server.log"
  fh_db_as "$user" "$FH_DB_PGSQL_BIN/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -s \
    -o "-k $dir/socket -p $FH_DB_PGSQL_PORT -c listen_addresses=127.0.0.1 -c fsync=off" start \
    >"$dir/pg_ctl.log" 2>&1
}

fh_db_start_pgsql() {
  local dir=$FH_DB_RUN_DIR/pgsql user=""
  [ "$(id -u)" -eq 0 ] && user=postgres
  mkdir -p "$dir/data" "$dir/socket"
  [ -n "$user" ] && chown -R "$user" "$dir"
  fh_db_as "$user" "$FH_DB_PGSQL_BIN/initdb" -D "$dir/data" -U fhtest --auth=trust -E UTF8 --no-sync \
    --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 || { fh_db_fail "initdb failed" "$dir/initdb.log"; return 1; }
  # Another process may take the chosen port before the server binds it:
  # then the start is retried on another port.
  local tries=0
  until fh_db_run_pgsql; do
    tries=$((tries + 1))
    if ! fh_db_port_taken "$dir/server.log" || [ "$tries" -ge 5 ]; then
      fh_db_fail "PostgreSQL did not start" "$dir/server.log"
      return 1
    fi
    FH_DB_PGSQL_PORT=$(fh_db_free_port)
  done
  echo "$FH_DB_PGSQL_PORT" >"$dir/port"
  psql -q -h "$dir/socket" -p "$FH_DB_PGSQL_PORT" -U fhtest -d postgres \
    -c "create database fhtest" >"$dir/setup.log" 2>&1 ||
    { fh_db_fail "cannot create the PostgreSQL test database" "$dir/setup.log"; return 1; }
}

# Starts mariadbd on an installed data directory and FH_DB_MARIADB_PORT and
# waits until it answers. 2 when the server ended before it answered.
fh_db_run_mariadb() {
  local dir=$FH_DB_RUN_DIR/mariadb user=""
  [ "$(id -u)" -eq 0 ] && user=mysql
  : >"$dir/server.log"
  [ -n "$user" ] && chown "$user" "$dir/server.log"
  mariadbd --no-defaults --datadir="$dir/data" --socket="$dir/mariadb.sock" \
    --port="$FH_DB_MARIADB_PORT" --bind-address=127.0.0.1 --pid-file="$dir/mariadb.pid" \
    --log-error="$dir/server.log" --innodb-flush-log-at-trx-commit=0 --skip-log-bin \
    --innodb-log-file-size=8M --innodb-flush-method=nosync --skip-name-resolve \
    ${user:+--user=$user} >/dev/null 2>&1 &
  local pid=$! tries=0
  until mariadb-admin --no-defaults -S "$dir/mariadb.sock" -uroot ping >/dev/null 2>&1; do
    kill -0 "$pid" 2>/dev/null || return 2
    tries=$((tries + 1))
    [ "$tries" -ge 600 ] && return 1
    sleep 0.1
  done
}

fh_db_start_mariadb() {
  local dir=$FH_DB_RUN_DIR/mariadb user=""
  [ "$(id -u)" -eq 0 ] && user=mysql
  mkdir -p "$dir/data"
  [ -n "$user" ] && chown -R "$user" "$dir"
  mariadb-install-db --no-defaults --datadir="$dir/data" ${user:+--user=$user} \
    --auth-root-authentication-method=normal --skip-test-db --skip-name-resolve \
    --innodb-log-file-size=8M --innodb-flush-method=nosync >"$dir/install.log" 2>&1 ||
    { fh_db_fail "mariadb-install-db failed" "$dir/install.log"; return 1; }
  local tries=0
  until fh_db_run_mariadb; do
    tries=$((tries + 1))
    if ! fh_db_port_taken "$dir/server.log" || [ "$tries" -ge 5 ]; then
      fh_db_fail "MariaDB did not start" "$dir/server.log"
      return 1
    fi
    FH_DB_MARIADB_PORT=$(fh_db_free_port)
    while [ "$FH_DB_MARIADB_PORT" = "$FH_DB_PGSQL_PORT" ]; do FH_DB_MARIADB_PORT=$(fh_db_free_port); done
  done
  echo "$FH_DB_MARIADB_PORT" >"$dir/port"
  mariadb --no-defaults -S "$dir/mariadb.sock" -uroot >"$dir/setup.log" 2>&1 <<SQL ||
create database fhtest character set utf8mb4;
create user 'fhtest'@'%' identified by '$FH_TEST_MARIADB_PASSWORD';
create user 'fhtest'@'localhost' identified by '$FH_TEST_MARIADB_PASSWORD';
grant all on *.* to 'fhtest'@'%';
grant all on *.* to 'fhtest'@'localhost';
SQL
    { fh_db_fail "cannot create the MariaDB test database" "$dir/setup.log"; return 1; }
}

# Stops one running server (a fast shutdown: sessions are cut, commits are
# kept) and waits until it is gone.
fh_db_stop_pgsql() {
  local dir=$FH_DB_RUN_DIR/pgsql user=""
  [ "$(id -u)" -eq 0 ] && user=postgres
  [ -f "$dir/data/postmaster.pid" ] || return 0
  fh_db_as "$user" "$FH_DB_PGSQL_BIN/pg_ctl" -D "$dir/data" -m fast -s -w stop >/dev/null 2>&1
}

fh_db_stop_mariadb() {
  local dir=$FH_DB_RUN_DIR/mariadb pid tries=0
  [ -f "$dir/mariadb.pid" ] || return 0
  pid=$(cat "$dir/mariadb.pid")
  kill "$pid" 2>/dev/null || true
  while kill -0 "$pid" 2>/dev/null && [ "$tries" -lt 600 ]; do
    sleep 0.1
    tries=$((tries + 1))
  done
  rm -f "$dir/mariadb.pid"
}

# Stops one server ("pgsql" or "mariadb") of fh_start_databases and starts it
# again on the same port; returns once it answers. For the tests of lost
# connections (scripts/lib/restart-database runs it from a test).
fh_restart_database() {
  [ -n "${FH_DB_RUN_DIR:-}" ] && [ -d "$FH_DB_RUN_DIR" ] || { echo "no servers running" >&2; return 1; }
  case $1 in
    pgsql)
      FH_DB_PGSQL_PORT=$(cat "$FH_DB_RUN_DIR/pgsql/port")
      fh_db_stop_pgsql && fh_db_run_pgsql ;;
    mariadb)
      FH_DB_MARIADB_PORT=$(cat "$FH_DB_RUN_DIR/mariadb/port")
      fh_db_stop_mariadb && fh_db_run_mariadb ;;
    *)
      echo "fh_restart_database: unknown server $1" >&2
      return 1 ;;
  esac
}

fh_db_write_odbc_ini() {
  cat >"$FH_DB_RUN_DIR/odbc.ini" <<INI
[fh_pgsql]
Driver=PostgreSQL ANSI
Servername=127.0.0.1
Port=$FH_DB_PGSQL_PORT
Database=fhtest
ByteaAsLongVarBinary=1

[fh_mariadb]
Driver=MariaDB Unicode
Server=127.0.0.1
Port=$FH_DB_MARIADB_PORT
Database=fhtest
Charset=utf8mb4
INI
  chmod 644 "$FH_DB_RUN_DIR/odbc.ini"
}

fh_start_databases() {
  if [ -n "${FH_DB_RUN_DIR:-}" ] && [ -d "$FH_DB_RUN_DIR" ]; then
    return 0  # already running
  fi
  local started
  started=$(date +%s%N)
  FH_DB_RUN_DIR=$(mktemp -d "${TMPDIR:-/tmp}/fhdb.XXXXXX")
  chmod 755 "$FH_DB_RUN_DIR"
  export FH_DB_RUN_DIR
  trap fh_stop_databases EXIT
  export FH_TEST_PGSQL_USER=fhtest FH_TEST_PGSQL_PASSWORD=NULL
  # Braces and a semicolon: the password travels in the connect string quoted.
  export FH_TEST_MARIADB_USER=fhtest FH_TEST_MARIADB_PASSWORD='fh;pw{1}'
  FH_DB_PGSQL_PORT=$(fh_db_free_port)
  FH_DB_MARIADB_PORT=$(fh_db_free_port)
  while [ "$FH_DB_MARIADB_PORT" = "$FH_DB_PGSQL_PORT" ]; do FH_DB_MARIADB_PORT=$(fh_db_free_port); done
  # Both servers start at once; PostgreSQL's part runs in a subshell.
  fh_db_start_pgsql &
  local pgsql=$!
  local failed=0
  fh_db_start_mariadb || failed=1
  wait "$pgsql" || failed=1
  [ "$failed" -eq 0 ] || return 1
  # A start retried on another port wrote the port it got.
  FH_DB_PGSQL_PORT=$(cat "$FH_DB_RUN_DIR/pgsql/port")
  FH_DB_MARIADB_PORT=$(cat "$FH_DB_RUN_DIR/mariadb/port")
  fh_db_write_odbc_ini
  export ODBCINI=$FH_DB_RUN_DIR/odbc.ini FH_TEST_PGSQL_DSN=fh_pgsql FH_TEST_MARIADB_DSN=fh_mariadb
  FH_TEST_DB_RESTART=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/restart-database
  export FH_TEST_DB_RESTART
  local elapsed=$((($(date +%s%N) - started) / 1000000))
  printf 'databases: PostgreSQL on 127.0.0.1:%s, MariaDB on 127.0.0.1:%s, started in %d.%03d s\n' \
    "$FH_DB_PGSQL_PORT" "$FH_DB_MARIADB_PORT" $((elapsed / 1000)) $((elapsed % 1000))
}

# Stops both servers and removes their directories; harmless when nothing
# runs.
fh_stop_databases() {
  [ -n "${FH_DB_RUN_DIR:-}" ] && [ -d "$FH_DB_RUN_DIR" ] || return 0
  local dir=$FH_DB_RUN_DIR user=""
  [ "$(id -u)" -eq 0 ] && user=postgres
  if [ -f "$dir/pgsql/data/postmaster.pid" ]; then
    fh_db_as "$user" "$FH_DB_PGSQL_BIN/pg_ctl" -D "$dir/pgsql/data" -m immediate -s -w stop \
      >/dev/null 2>&1 || true
  fi
  if [ -f "$dir/mariadb/mariadb.pid" ]; then
    local pid
    pid=$(cat "$dir/mariadb/mariadb.pid")
    kill "$pid" 2>/dev/null || true
    local tries=0
    while kill -0 "$pid" 2>/dev/null && [ "$tries" -lt 100 ]; do
      sleep 0.1
      tries=$((tries + 1))
    done
    kill -9 "$pid" 2>/dev/null || true
  fi
  rm -rf "$dir"
  unset FH_DB_RUN_DIR
}
