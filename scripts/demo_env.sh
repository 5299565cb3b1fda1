#!/usr/bin/env bash
# The demo's set-up, everything run.sh does before it opens the program:
# starts the stand-in server (or uses the running one), makes the demo login
# and its two sample tables when they are missing (keeping any table the user
# made there), and saves that login in a settings store of
# the demo's own under the stand-in's folder. The user's own settings store,
# with the login for their real Oracle server, is never touched.
#
# Prints the environment the program needs, as shell lines for eval; run.sh
# hands it to the program alone:
#   ODBCSYSINI       the folder where the stand-in driver is registered
#   QM_STANDIN_DIR   the stand-in's folder, the demo login's SID
#   XDG_CONFIG_HOME  the demo's settings folder, read by QSettings UserScope
set -euo pipefail
cd "$(dirname "$0")/.."

# Only what the demo lacks is made: a program open on the demo, or tests on
# the same running server, keep their tables and logins.
bash scripts/standin.sh demo >&2
eval "$(bash scripts/standin.sh env)"

config=$QM_STANDIN_DIR/demo-config
mkdir -p "$config"
chmod 700 "$config"
settings=$config/Varnholt.ini
umask 077
# The group name is written as QSettings spells "Quillmere Software" in INI.
cat >"$settings" <<INI
[Quillmere%20Software]
OracleSID=$QM_STANDIN_DIR
OracleUser=demo
OraclePassword=demo
INI
chmod 600 "$settings"

printf 'export ODBCSYSINI=%q\n' "$ODBCSYSINI"
printf 'export QM_STANDIN_DIR=%q\n' "$QM_STANDIN_DIR"
printf 'export XDG_CONFIG_HOME=%q\n' "$config"
