#!/usr/bin/env bash
# Configures and builds into build/ (the default preset: warnings are errors).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset default >/dev/null
cmake --build --preset default -j"$(nproc)"
