#!/usr/bin/env bash
# Installs what is missing, builds, and opens the program. Without an Oracle
# server here, it starts the stand-in server with a demo login and two sample
# tables, and saves that login so the program opens logged into it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
bash scripts/standin.sh demo
eval "$(bash scripts/standin.sh env)"

# The saved login, where the program's settings store keeps it.
config=${XDG_CONFIG_HOME:-$HOME/.config}
mkdir -p "$config"
settings="$config/Varnholt.ini"
umask 077
cat >"$settings" <<INI
[Quillmere%20Software]
OracleSID=$QM_STANDIN_DIR
OracleUser=demo
OraclePassword=demo
INI
chmod 600 "$settings"

exec build/src/quillmere
