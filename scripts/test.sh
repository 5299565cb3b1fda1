#!/usr/bin/env bash
# Installs what is missing, builds, starts the stand-in server and runs every
# test, then the benchmark once at a small size (no timing asserted), and
# builds the Debian package and checks what it installs.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/check_scripts.sh
bash scripts/check_layers.sh
bash scripts/check_format.sh
bash scripts/build.sh
bash scripts/standin.sh start
(cd build && QTEST_DISABLE_STACK_TRACE=1 ctest --output-on-failure --timeout 900)
bash scripts/bench.sh 2000 --runs 1
bash scripts/package.sh
bash scripts/check_package.sh
