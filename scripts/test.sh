#!/usr/bin/env bash
# Installs what is missing, builds, starts the stand-in server and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/check_scripts.sh
bash scripts/check_layers.sh
bash scripts/check_format.sh
bash scripts/build.sh
bash scripts/standin.sh start
cd build
QTEST_DISABLE_STACK_TRACE=1 ctest --output-on-failure --timeout 900
