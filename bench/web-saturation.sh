#!/bin/sh
# The pace of a real-clock night against vantrel-mountsim, beside a status
# server that 16 clients poll 20 times a second, one that is idle and one
# that 16 clients ask as fast as it answers: prints requests per second,
# latencies, answers that were not whole, and the gaps between position
# queries (p50, p99, max, and how many exceed 150 and 300 ms). A measurement,
# not a test: it takes about three minutes and asserts nothing about speed.
#
#   bench/web-saturation.sh [BUILD_DIR]     (a Release build; default: build)
#   VANTREL_BENCH_SECONDS=120 bench/web-saturation.sh   (longer nights)
set -eu
build=${1:-build}
cmake --build "$build" --target web_pace vantrel vantrel-mountsim >/dev/null
for mode in polling idle saturated; do "$build/bench/web_pace" $mode; done
