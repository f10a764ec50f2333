#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UBSan on) in
# build-fuzz/ and runs each from the committed seeds in tests/fuzz/corpus.
#   scripts/fuzz.sh                 each target for 30 s
#   FUZZ_SECONDS=300 scripts/fuzz.sh
#   FUZZ_RUNS=10000000 scripts/fuzz.sh [target...]   a fixed number of runs
# The seeds are copied first: what a run finds stays in build-fuzz/corpus,
# and a crash leaves its input in build-fuzz/ (the run fails).
set -euo pipefail
cd "$(dirname "$0")/.."
targets=("$@")
if [ "${#targets[@]}" -eq 0 ]; then
  targets=(number_text site_config target_list mount_codec clock_texts log_forms)
fi
flags="-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=all"
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=clang++ \
  -DVANTREL_FUZZ=ON -DVANTREL_BUILD_TESTS=OFF -DVANTREL_BUILD_BENCH=OFF -DVANTREL_WITH_WEB=OFF \
  -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build build-fuzz --target "${targets[@]/#/fuzz_}"
for t in "${targets[@]}"; do
  work="build-fuzz/corpus/$t"
  mkdir -p "$work"
  cp -n tests/fuzz/corpus/"$t"/* "$work"/
  if [ -n "${FUZZ_RUNS:-}" ]; then limit="-runs=$FUZZ_RUNS"; else limit="-max_total_time=${FUZZ_SECONDS:-30}"; fi
  echo "fuzz: $t ($limit)"
  mkdir -p build-fuzz
  if ! (cd build-fuzz && ./tests/fuzz/fuzz_"$t" "$limit" -print_final_stats=1 -max_len=4096 \
          -artifact_prefix="fuzz-$t-" "corpus/$t" > "fuzz-$t.log" 2>&1); then
    tail -n 40 "build-fuzz/fuzz-$t.log" >&2
    echo "fuzz: $t failed; the input is in build-fuzz/fuzz-$t-*" >&2
    exit 1
  fi
  grep -E "^stat::number_of_executed_units|^Done" "build-fuzz/fuzz-$t.log" || true
done
