#!/usr/bin/env bash
# Installs what is missing, builds, and rehearses a night of examples/ against
# the simulated mount, in a scratch copy so the repository stays clean.
#   scripts/demo.sh [START]    START: YYYY-MM-DDTHH:MM[:SS], default 18:00 today (UT+9)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target vantrel vantrel-mountsim
scratch=build/demo-night
rm -rf "$scratch"
mkdir -p "$scratch"
cp examples/vantrel.ini examples/vantrel.adf "$scratch"/
cd "$scratch"
echo "Rehearsing a night of examples/ in $(pwd)"
../src/vantrel --rehearse ${1:+"$1"} --console
