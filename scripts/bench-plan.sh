#!/usr/bin/env bash
# Builds and runs the whole-night benchmarks: one night and 30 nights of a
# 2700-row list as the plan rehearses them, and as the rehearsal did before
# (step by step), in one run. Prints the wall times and the ratios. The
# machine may be shared: run it when it is quiet, or read the instruction
# counts (valgrind --tool=callgrind on --benchmark_filter=...).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target vantrel_bench
build/bench/vantrel_bench --benchmark_filter='night' --benchmark_format=csv 2>/dev/null |
  awk -F, '/night/ { gsub(/"/, "", $1); sub(/\/.*/, "", $1); t[$1] = $3;
                     printf "%-24s %10.1f ms\n", $1, $3 }
           END { printf "one night: %.0fx faster; 30 nights: %.0fx faster\n",
                 t["stepwise_one_night"] / t["plan_one_night"],
                 t["stepwise_thirty_nights"] / t["plan_thirty_nights"] }'
