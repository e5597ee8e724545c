#!/usr/bin/env bash
# fuzz.sh [SECONDS]: builds the libFuzzer targets with clang (ASan + UBSan) and
# runs each one for SECONDS (default 60) from its seed corpus. A crash, a hang
# (an input running over 10 s) or a sanitizer report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
secs="${1:-60}"

cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DBUILD_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
# Only the fuzz targets and the libraries they use.
mapfile -t targets < <(for f in tests/fuzz/fuzz_*.cpp; do basename "$f" .cpp; done)
ninja -C build-fuzz "${targets[@]}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen
for target in build-fuzz/tests/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  echo "== $name: ${secs}s =="
  mkdir -p "$work/$name"
  # New inputs go to the scratch folder; the seeds stay untouched.
  "$target" -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
    -artifact_prefix="$work/" -print_final_stats=1 "$work/$name" "tests/fuzz/corpus/$name" \
    || { echo "$name failed; reproducer:"; ls "$work"/crash-* "$work"/timeout-* "$work"/leak-* 2>/dev/null; exit 1; }
done
