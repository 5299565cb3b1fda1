#!/usr/bin/env bash
# Installs what is missing, builds, and opens the program. Without an Oracle
# server here, it opens the program logged into the stand-in server's demo
# login, through a settings store of the demo's own (scripts/demo_env.sh), so
# the user's own saved login stays as it was.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
demo_env=$(bash scripts/demo_env.sh)
# Exported only into this shell, which becomes the program.
eval "$demo_env"
exec build/src/quillmere
