#!/usr/bin/env bash
# Installs what is missing, builds the program (its target alone: no tests,
# no benchmark), and opens it. Without an Oracle server here, it opens the
# program logged into the stand-in server's demo login, through a settings
# store of the demo's own (scripts/demo_env.sh), so the user's own saved login
# stays as it was.
#
# Prints a line per step; the full output of apt and the build goes to
# build/run.log, whose path is printed when a step fails.
set -euo pipefail
cd "$(dirname "$0")/.."
mkdir -p build
log=$PWD/build/run.log
: >"$log"

step() { echo "run.sh: $*"; }
failed() {
  echo "run.sh: $* failed; the full output is in $log" >&2
  tail -n 20 "$log" >&2
  exit 1
}

step "checking the Debian packages"
bash scripts/setup.sh >>"$log" 2>&1 || failed "installing the Debian packages"

step "building the program (the first time takes a few minutes)"
# A configured build folder reconfigures itself when a CMakeLists.txt changes.
if [ ! -f build/CMakeCache.txt ]; then
  cmake --preset default >>"$log" 2>&1 || failed "configuring the build"
fi
cmake --build --preset default --target quillmere -j"$(nproc)" >>"$log" 2>&1 ||
  failed "building the program"

step "starting the stand-in server and its demo login"
demo_env=$(bash scripts/demo_env.sh 2>>"$log") || failed "setting up the demo"
# Exported only into this shell, which becomes the program.
eval "$demo_env"

step "opening the program (its log: ${XDG_STATE_HOME:-$HOME/.local/state}/quillmere/quillmere.log)"
exec build/src/quillmere
