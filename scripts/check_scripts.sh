#!/usr/bin/env bash
# Checks the set-up commands themselves, in seconds, without a build:
#  - setup.sh on a complete machine makes no apt call (a second run succeeds
#    with apt-get, apt and sudo failing on the PATH);
#  - the demo's set-up (demo_env.sh, run by run.sh) leaves the user's own
#    settings file byte for byte as it was, and gives the program a store of
#    its own that opens the demo login;
#  - a second demo set-up keeps the demo's tables and any table the user made
#    in the demo database.
# Starts the stand-in server when it is not running; when it is, only what the
# demo lacks is made.
set -euo pipefail
cd "$(dirname "$0")/.."

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# --- setup.sh twice, the second time without apt -----------------------------
bash scripts/setup.sh
mkdir "$work/no-apt"
for tool in apt-get apt sudo; do
  cat >"$work/no-apt/$tool" <<SH
#!/bin/sh
echo "$tool \$*" >>"$work/apt-calls"
exit 1
SH
  chmod +x "$work/no-apt/$tool"
done
if ! PATH="$work/no-apt:$PATH" bash scripts/setup.sh >"$work/setup.log" 2>&1; then
  fail "second setup.sh run failed without apt:"; cat "$work/setup.log" >&2
fi
[ ! -s "$work/apt-calls" ] || fail "second setup.sh run called apt: $(cat "$work/apt-calls")"

# --- the demo's set-up keeps the user's own settings -------------------------
# case NAME USER_CONFIG [XDG_CONFIG_HOME]: a user whose store lives in
# USER_CONFIG, with a saved login for a real server, runs the demo set-up.
# The first case may start the server, the second finds it running.
demo_case() {
  local name=$1 user_config=$2 xdg=${3-}
  local home=$work/$name/home
  mkdir -p "$home" "$user_config"
  # No trailing newline and odd rights, so a rewrite of any kind shows.
  printf '[Quillmere%%20Software]\nOracleSID=PRODDB\nOracleUser=scott\nOraclePassword=tiger' \
    >"$user_config/Varnholt.ini"
  chmod 640 "$user_config/Varnholt.ini"
  cp -p "$user_config/Varnholt.ini" "$work/$name/before.ini"
  local listing_before
  listing_before=$(cd "$home" && find . -printf '%p %m\n' | sort)

  local env_lines
  if ! env_lines=$(env HOME="$home" ${xdg:+XDG_CONFIG_HOME="$xdg"} bash scripts/demo_env.sh 2>"$work/$name/demo.log"); then
    fail "$name: demo set-up failed:"; cat "$work/$name/demo.log" >&2; return
  fi

  cmp -s "$work/$name/before.ini" "$user_config/Varnholt.ini" ||
    fail "$name: the user's own Varnholt.ini was changed"
  [ "$(stat -c %a "$user_config/Varnholt.ini")" = 640 ] ||
    fail "$name: the rights of the user's own Varnholt.ini were changed"
  [ "$listing_before" = "$(cd "$home" && find . -printf '%p %m\n' | sort)" ] ||
    fail "$name: files under HOME were added or changed"

  # The environment the program is started with: its own store, holding the
  # demo login, which the registered driver opens.
  (
    eval "$env_lines"
    store=$XDG_CONFIG_HOME/Varnholt.ini
    [ "$XDG_CONFIG_HOME" != "${xdg:-$home/.config}" ] || { echo "FAIL: $name: demo uses the user's store" >&2; exit 1; }
    grep -qx 'OracleUser=demo' "$store" && grep -qx "OracleSID=$QM_STANDIN_DIR" "$store" ||
      { echo "FAIL: $name: demo store lacks the demo login" >&2; exit 1; }
    [ "$(stat -c %a "$store")" = 600 ] || { echo "FAIL: $name: demo store is not 0600" >&2; exit 1; }
    tables=$(echo 'SELECT table_name FROM user_tables ORDER BY 1' |
      isql -b -d, -k "Driver={Microsoft ODBC for Oracle};Server=$QM_STANDIN_DIR;Uid=demo;Pwd=demo;" 2>&1 | tr -d ' ')
    grep -qx CUSTOMERS <<<"$tables" && grep -qx ORDERS <<<"$tables" ||
      { echo "FAIL: $name: demo login through the driver lists: $tables" >&2; exit 1; }
  ) || failures=$((failures + 1))
}

demo_case default-store "$work/default-store/home/.config"
demo_case xdg-store "$work/xdg-store/elsewhere" "$work/xdg-store/elsewhere"

# --- a second demo set-up keeps what is there ---------------------------------
# As run.sh in a second terminal would, under a program open on the demo.
(
  eval "$(bash scripts/standin.sh env)"
  demo_sql() { PGOPTIONS="-c client_min_messages=warning" PGPASSWORD=demo psql -X -q -At -v ON_ERROR_STOP=1 -h "$QM_STANDIN_DIR" -U demo -d demo -c "$1"; }
  demo_sql 'DROP TABLE IF EXISTS "USER_MADE"; CREATE TABLE "USER_MADE" (x int); INSERT INTO "USER_MADE" VALUES (7)'
  demo_sql 'INSERT INTO "ORDERS" ("ORDER_ID") VALUES (999)'
  status=0
  bash scripts/demo_env.sh >/dev/null 2>"$work/demo-again.log" ||
    { echo "FAIL: second demo set-up failed:" >&2; cat "$work/demo-again.log" >&2; status=1; }
  [ "$(demo_sql 'SELECT x FROM "USER_MADE"')" = 7 ] ||
    { echo "FAIL: a second demo set-up lost the user's own table" >&2; status=1; }
  [ "$(demo_sql 'SELECT count(*) FROM "ORDERS" WHERE "ORDER_ID" = 999')" = 1 ] ||
    { echo "FAIL: a second demo set-up made the sample tables afresh" >&2; status=1; }
  demo_sql 'DROP TABLE "USER_MADE"; DELETE FROM "ORDERS" WHERE "ORDER_ID" = 999'
  exit $status
) || failures=$((failures + 1))

if ((failures)); then
  echo "check_scripts.sh: $failures failure(s)" >&2
  exit 1
fi
echo "check_scripts.sh: set-up commands OK"
