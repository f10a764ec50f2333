#!/usr/bin/env bash
# Builds and runs the position benchmark: the plain routine (a), the position
# pass as the program runs it (b), and the ERFA peer (c), on 2700-row passes.
# Prints the medians and the ratios b/c and a/c.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target vantrel_bench
build/bench/vantrel_bench --benchmark_min_time=0.5 --benchmark_repetitions=5 \
    --benchmark_report_aggregates_only=true --benchmark_format=csv 2>/dev/null |
  awk -F, '/_median/ { gsub(/"/, "", $1); sub(/_median/, "", $1); t[$1] = $4;
                       printf "%-14s %8.1f us/pass %7.1f ns/row\n", $1, $4, $4 * 1000 / 2700 }
           END { printf "b/c %.3f  a/c %.3f\n", t["position_pass"] / t["erfa_peer"], t["plain_routine"] / t["erfa_peer"] }'
