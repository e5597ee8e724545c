#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite twice: a
# normal build and an AddressSanitizer + UndefinedBehaviorSanitizer build,
# then the thread tests once more under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/start-firebird.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

echo "== normal build =="
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== address + undefined sanitizer build =="
scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DSANITIZE=address
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "== fuzz targets (bounded run) =="
scripts/fuzz.sh 60

echo "== thread sanitizer build (thread tests) =="
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSANITIZE=thread >/dev/null
# Only the test programs labelled "threads" (ctest test name = target name).
mapfile -t thread_tests < <(ctest --test-dir build-tsan -N -L threads | awk '/Test +#/ {print $3}')
ninja -C build-tsan "${thread_tests[@]}"
TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build-tsan --output-on-failure -j "$jobs" -L threads
