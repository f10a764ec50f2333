#!/usr/bin/env bash
# The whole suite again under AddressSanitizer and UBSan (build-asan/), where
# any report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

# Every report is fatal: UBSan does not recover, ASan and LeakSanitizer end
# the process with an error, so the test that met it fails.
sanitize="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTREL_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="$sanitize" -DCMAKE_EXE_LINKER_FLAGS="$sanitize" >/dev/null
cmake --build build-asan
(cd build-asan && \
  ASAN_OPTIONS=abort_on_error=1:detect_leaks=1 \
  LSAN_OPTIONS="suppressions=$PWD/../tests/sanitizer/lsan.supp:print_suppressions=0" \
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 900 -j2)
