#!/usr/bin/env bash
# Times a 12-hour rehearsal with a full table: 300 target lines, each with a
# 3 x 3 grid mask, 2700 rows in all, spread over the sky. Needs a build.
set -euo pipefail
cd "$(dirname "$0")/.."
scratch=build/full-table
rm -rf "$scratch" && mkdir -p "$scratch"
cp examples/vantrel.ini "$scratch"/
awk 'BEGIN {
  srand(7)
  for (i = 0; i < 300; i++) {
    h = int(rand() * 24); m = rand() * 59.9; d = int(rand() * 60); am = rand() * 59.9
    sign = (d < 40 && rand() < 0.5) ? "-" : "+"
    printf "F%03d%02d%04.1f %s%02d%04.1f field %d 111111111\r\n", i, h, m, sign, d, am, i
  }
}' > "$scratch/vantrel.adf"
cd "$scratch"
time ../src/vantrel --rehearse 2026-12-06T17:00 --console > rehearsal.out
tail -n 1 rehearsal.out
