#!/usr/bin/env bash
# The stand-in for Oracle: a private PostgreSQL cluster reached through the
# psqlODBC Unicode driver, registered under the Oracle driver's name.
#
#   standin.sh start        start the cluster (create it on first use)
#   standin.sh demo         start it and make the demo login with sample tables
#                           (only what is missing)
#   standin.sh stop         stop the cluster
#   standin.sh env          print the environment the program and the tests need
#   standin.sh oracle-manners DIR
#                           write DIR/odbcinst.ini, in which the Oracle driver's
#                           name is the Oracle-manners driver (built with the
#                           tests; built here if missing) over psqlODBC: with
#                           ODBCSYSINI=DIR, everything meets Oracle's manners
#   standin.sh durable on|off
#                           commit durably (fsync, synchronous_commit,
#                           full_page_writes), as a real server does, or not
#                           (the default: the tests' commits cost nothing)
#
# The SID of every login is the cluster's socket folder ($QM_STANDIN_DIR).
# Each login has a database of its own name (the connection string names none)
# holding a view user_tables(table_name) of the login's own tables.
set -euo pipefail

DIR=${QM_STANDIN_DIR:-/tmp/qm-standin}
DATA=$DIR/data
ODBC=$DIR/odbc
ADMIN=qm_admin
PGBIN=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
DRIVER=$(ls /usr/lib/*/odbc/psqlodbcw.so 2>/dev/null | head -n 1)

# PostgreSQL refuses to run as root.
if [ "$(id -u)" -eq 0 ]; then
  as_pg() { runuser -u postgres -- "$@"; }
  OWNER=postgres
else
  as_pg() { "$@"; }
  OWNER=$(id -un)
fi

psql_admin() {
  PGOPTIONS="-c client_min_messages=warning" PGPASSWORD=$ADMIN "$PGBIN/psql" -X -q -v ON_ERROR_STOP=1 -h "$DIR" -U "$ADMIN" "$@"
}

write_odbcinst() {
  mkdir -p "$ODBC"
  cat >"$ODBC/odbcinst.ini" <<INI
[Microsoft ODBC for Oracle]
Description=Stand-in for Oracle: PostgreSQL through psqlODBC (Unicode)
Driver=$DRIVER
INI
  : >"$ODBC/odbc.ini"
  chmod 755 "$ODBC"
  chmod 644 "$ODBC/odbcinst.ini" "$ODBC/odbc.ini"
}

running() {
  [ -f "$DATA/postmaster.pid" ] && as_pg "$PGBIN/pg_ctl" -D "$DATA" status >/dev/null 2>&1
}

start() {
  [ -n "$PGBIN" ] || { echo "PostgreSQL server binaries not found; run scripts/setup.sh" >&2; exit 1; }
  [ -n "$DRIVER" ] || { echo "psqlodbcw.so not found; run scripts/setup.sh" >&2; exit 1; }
  if [ ${#DIR} -gt 90 ]; then echo "socket folder path too long: $DIR" >&2; exit 1; fi
  mkdir -p "$DIR"
  chown "$OWNER" "$DIR"
  chmod 755 "$DIR"
  write_odbcinst
  if [ ! -f "$DATA/PG_VERSION" ]; then
    local pwfile
    pwfile=$(mktemp "$DIR/pw.XXXXXX")
    echo "$ADMIN" >"$pwfile"
    chown "$OWNER" "$pwfile"
    as_pg "$PGBIN/initdb" -D "$DATA" -U "$ADMIN" --pwfile="$pwfile" \
      --auth=scram-sha-256 -E UTF8 --locale=C.UTF-8 >"$DIR/initdb.log" 2>&1 ||
      { cat "$DIR/initdb.log" >&2; rm -f "$pwfile"; exit 1; }
    rm -f "$pwfile"
    cat >>"$DATA/postgresql.conf" <<CONF
listen_addresses = ''
unix_socket_directories = '$DIR'
unix_socket_permissions = 0777
max_connections = 100
fsync = off
synchronous_commit = off
full_page_writes = off
CONF
  fi
  if ! running; then
    as_pg "$PGBIN/pg_ctl" -D "$DATA" -l "$DIR/server.log" -w -t 60 start >/dev/null ||
      { cat "$DIR/server.log" >&2; exit 1; }
  fi
  # Every login's database is made from template1, so the catalogue view is
  # placed there once. It lists ordinary tables owned by the current login.
  psql_admin -d template1 <<'SQL'
CREATE OR REPLACE VIEW public.user_tables AS
  SELECT c.relname::varchar(128) AS table_name
    FROM pg_catalog.pg_class c
    JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace
   WHERE c.relkind IN ('r', 'p')
     AND c.relowner = (SELECT oid FROM pg_catalog.pg_roles WHERE rolname = current_user)
     AND n.nspname NOT IN ('pg_catalog', 'information_schema')
     AND n.nspname NOT LIKE 'pg_toast%';
GRANT SELECT ON public.user_tables TO PUBLIC;
SQL
}

# The demo login and its sample tables are made only when missing, so a
# second run (another terminal, an open program) keeps them, and keeps any
# table the user made in the demo database.
demo() {
  start
  psql_admin -d postgres <<'SQL'
SELECT NOT EXISTS (SELECT 1 FROM pg_catalog.pg_roles WHERE rolname = 'demo') AS make_role \gset
\if :make_role
CREATE ROLE demo LOGIN PASSWORD 'demo';
\endif
SELECT NOT EXISTS (SELECT 1 FROM pg_catalog.pg_database WHERE datname = 'demo') AS make_db \gset
\if :make_db
CREATE DATABASE demo OWNER demo;
\endif
SQL
  PGPASSWORD=demo "$PGBIN/psql" -X -q -v ON_ERROR_STOP=1 -h "$DIR" -U demo -d demo <<'SQL'
SELECT to_regclass('public."CUSTOMERS"') IS NULL AS make_customers \gset
\if :make_customers
CREATE TABLE "CUSTOMERS" ("CUSTOMER_ID" numeric(10), "NAME" varchar(60), "CITY" varchar(40));
INSERT INTO "CUSTOMERS" VALUES
  (1, 'Ada Brandt', 'Bremen'), (2, 'Björn O''Neil', 'Malmö'), (3, 'Chloé Durand', 'Lyon'),
  (4, 'Dara Quinn', NULL), (5, 'Emil Sørensen', 'Aarhus');
\endif
SELECT to_regclass('public."ORDERS"') IS NULL AS make_orders \gset
\if :make_orders
CREATE TABLE "ORDERS" ("ORDER_ID" numeric(10), "CUSTOMER_ID" numeric(10), "ITEM" varchar(60),
                       "AMOUNT" numeric(12,2), "ORDERED_AT" timestamp(6));
INSERT INTO "ORDERS" VALUES
  (100, 1, 'Inkwell', 12.50, '2018-12-22 09:15:00.125000'),
  (101, 1, 'Quill', 3.20, '2018-12-23 10:00:00'),
  (102, 3, 'Paper, A4', 7.00, '2019-01-04 16:45:30.5'),
  (103, 6, 'Blotter', 4.75, '2019-02-11 08:05:00'),
  (104, NULL, 'Sealing wax', 2.10, NULL);
\endif
SQL
}

# The Oracle-manners driver: $QM_ORACLE_MANNERS_DRIVER, or the one in build/,
# built there (just its target) when missing.
oracle_manners() {
  local dir=${1:-}
  [ -n "$dir" ] || { echo "usage: $0 oracle-manners DIR" >&2; exit 2; }
  [ -n "$DRIVER" ] || { echo "psqlodbcw.so not found; run scripts/setup.sh" >&2; exit 1; }
  local root library
  root=$(cd "$(dirname "$0")/.." && pwd)
  library=${QM_ORACLE_MANNERS_DRIVER:-$root/build/tests/oracle_manners.so}
  if [ ! -f "$library" ]; then
    if [ ! -f "$root/build/CMakeCache.txt" ]; then
      (cd "$root" && cmake --preset default >/dev/null)
    fi
    cmake --build "$root/build" --target qm_oracle_manners -j2 >/dev/null
  fi
  mkdir -p "$dir"
  cat >"$dir/odbcinst.ini" <<INI
[Microsoft ODBC for Oracle]
Description=Stand-in for Oracle with Oracle's manners: the Oracle-manners driver over psqlODBC
Driver=$library
RealDriver=$DRIVER
INI
  : >"$dir/odbc.ini"
  chmod 644 "$dir/odbcinst.ini" "$dir/odbc.ini"
}

# Set over postgresql.conf's defaults and taken by a reload; sessions already
# open keep their synchronous_commit.
durable() {
  local setting
  case "${1:-}" in
    on) setting="TO on" ;;
    off) setting="" ;;
    *) echo "usage: $0 durable on|off" >&2; exit 2 ;;
  esac
  running || { echo "the stand-in server is not running" >&2; exit 1; }
  for name in fsync synchronous_commit full_page_writes; do
    if [ -n "$setting" ]; then
      psql_admin -d postgres -c "ALTER SYSTEM SET $name $setting"
    else
      psql_admin -d postgres -c "ALTER SYSTEM RESET $name"
    fi
  done
  psql_admin -d postgres -c "SELECT pg_reload_conf()" >/dev/null
}

case "${1:-start}" in
  start) start ;;
  demo) demo ;;
  stop) running && as_pg "$PGBIN/pg_ctl" -D "$DATA" -w stop >/dev/null || true ;;
  env) echo "export ODBCSYSINI=$ODBC QM_STANDIN_DIR=$DIR" ;;
  durable) durable "${2:-}" ;;
  oracle-manners) oracle_manners "${2:-}" ;;
  *) echo "usage: $0 start|demo|stop|env|durable on|off|oracle-manners DIR" >&2; exit 2 ;;
esac
