#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite twice: a
# normal build and an AddressSanitizer + UndefinedBehaviorSanitizer build
# (clang, which also builds the libFuzzer targets for a bounded run), then the
# thread tests once more under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/start-firebird.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
# Compiles are cached (paths relative to the checkout, so any clone shares them).
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

echo "== normal build =="
# The benchmarks are built too, so that they keep building.
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_BENCH=ON "${launcher[@]}"
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== address + undefined sanitizer build (clang, with the fuzz targets) =="
scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DSANITIZE=address -DBUILD_FUZZ=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ "${launcher[@]}"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "== fuzz targets (bounded run) =="
scripts/fuzz.sh 240 build-asan

echo "== thread sanitizer build (thread tests) =="
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSANITIZE=thread "${launcher[@]}" >/dev/null
# Only the test programs labelled "threads" (ctest test name = target name).
mapfile -t thread_tests < <(ctest --test-dir build-tsan -N -L threads | awk '/Test +#/ {print $3}')
ninja -C build-tsan "${thread_tests[@]}"
# The sanitizer's fixed shadow layout does not survive every randomised
# address-space layout: run with randomisation off.
TSAN_OPTIONS=halt_on_error=1 setarch "$(uname -m)" -R \
  ctest --test-dir build-tsan --output-on-failure -j "$jobs" -L threads
