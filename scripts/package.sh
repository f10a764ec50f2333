#!/usr/bin/env bash
# Builds the Debian package in build-package/ from a build without the tests
# and benchmarks: cpack installs, and installing builds everything the build
# folder holds, which in a development build is every test.
#   usage: scripts/package.sh        then: sudo apt install ./build-package/vantrel_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
      -DVANTREL_BUILD_TESTS=OFF -DVANTREL_BUILD_BENCH=OFF >/dev/null
cmake --build build-package
(cd build-package && cpack -G DEB >/dev/null)
ls "$PWD"/build-package/vantrel_*.deb
