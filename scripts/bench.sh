#!/usr/bin/env bash
# The join run's benchmark: bench.sh ROWS [--runs N] [--keep]
# Builds qm_bench if needed, starts the stand-in server and prints each phase
# of the program's run beside its floor (the median of --runs runs, 3 unless
# told). Not a test: it asserts no timing.
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -ge 1 ] || { echo "usage: $0 ROWS [--runs N] [--keep]" >&2; exit 2; }
bash scripts/setup.sh

if grep -Eq '^[[:space:]]*add_subdirectory\([[:space:]]*bench[[:space:]]*\)' CMakeLists.txt; then
  cmake --preset default >/dev/null
  cmake --build --preset default --target qm_bench -j2
  bench=build/bench/qm_bench
else
  # Until the project's own CMakeLists.txt takes in bench/, a wrapper project
  # gives it what the top level would: the libraries and the warning flags.
  wrapper=build/bench-only
  mkdir -p "$wrapper/project"
  cat >"$wrapper/project/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.21)
project(QuillmereBench LANGUAGES CXX)
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
find_package(Qt6 REQUIRED COMPONENTS Core)
find_package(SQLite3 REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(ODBC REQUIRED IMPORTED_TARGET odbc)
add_library(qm_warnings INTERFACE)
target_compile_options(qm_warnings INTERFACE -Wall -Wextra -pedantic -Werror)
add_subdirectory($PWD/bench bench)
CMAKE
  cmake -S "$wrapper/project" -B "$wrapper" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$wrapper" -j2
  bench=$wrapper/bench/qm_bench
fi

bash scripts/standin.sh start
eval "$(bash scripts/standin.sh env)"
"$bench" "$@"
