#!/usr/bin/env bash
# Installs what is missing, builds everything (Release, build/) and runs every
# test: the unit tables, the night scenarios, the end-to-end tests against
# vantrel-mountsim, INDI's simulator, the web server and the package.
# .ci/run then runs the same suite under the sanitizers and the fuzz targets
# (scripts/sanitize.sh, scripts/fuzz.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 600 -j2)
