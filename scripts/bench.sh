#!/usr/bin/env bash
# The join run's benchmark: bench.sh ROWS [--runs N] [--busy N] [--no-replay] [--keep]
# Builds qm_bench if needed, starts the stand-in server and prints each phase
# of the program's run beside its floor (the median of --runs runs, 3 unless
# told), with the server committing durably. --busy N keeps N CPU-bound
# processes spinning through each run; --no-replay skips psql's slow replay of
# an INSERT a row. Every option goes to qm_bench as given. Not a test: it
# asserts no timing, but exits 3 when the program ran under 0.95x of a floor
# (from 10,000 rows a table on): that floor leaves out part of the work.
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -ge 1 ] || { echo "usage: $0 ROWS [--runs N] [--busy N] [--no-replay] [--keep]" >&2; exit 2; }
bash scripts/setup.sh

cmake --preset default >/dev/null
cmake --build --preset default --target qm_bench -j2
bench=build/bench/qm_bench

bash scripts/standin.sh start
eval "$(bash scripts/standin.sh env)"
# A real server waits for its log at each commit; the tests' stand-in does not.
bash scripts/standin.sh durable on
trap 'bash scripts/standin.sh durable off' EXIT
"$bench" "$@"
