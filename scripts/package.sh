#!/usr/bin/env bash
# Builds the Debian package build/quillmere_VERSION_ARCH.deb: a release build
# of the program alone (no tests, no benchmark) in build-package/, installed
# under /usr, stripped, with its dependencies worked out by dpkg-shlibdeps.
# Prints the package's path.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

dir=build-package
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DQM_WERROR=ON >/dev/null
# The program and its man page, the only things the package installs that
# need building.
cmake --build "$dir" -j"$(nproc)" --target quillmere qm_man_page
mkdir -p build
rm -f build/quillmere_*.deb
(cd "$dir" && cpack -G DEB -B "$PWD/../build" >/dev/null)
rm -rf build/_CPack_Packages
ls build/quillmere_*.deb
