#!/usr/bin/env bash
# Builds the Debian package build/quillmere_VERSION_ARCH.deb: a release build
# of the program alone (no tests, no benchmark) in build-package/, installed
# under /usr, stripped, with its dependencies worked out by dpkg-shlibdeps and
# compiled with Debian's hardening flags.
# Prints the package's path.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

dir=build-package
# The flags a Debian build takes from dpkg-buildflags, with every hardening
# feature on: fortify, stack protector, format checks, relro and bindnow (the
# compiler makes PIE by default). Given on every configure, since CMake reads
# CXXFLAGS and LDFLAGS only when it makes a new cache.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DQM_WERROR=ON \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
# The program, its man page and its changelog, the only things the package
# installs that need building.
cmake --build "$dir" -j"$(nproc)" --target quillmere qm_man_page qm_changelog
mkdir -p build
rm -f build/quillmere_*.deb
(cd "$dir" && cpack -G DEB -B "$PWD/../build" >/dev/null)
rm -rf build/_CPack_Packages
ls build/quillmere_*.deb
