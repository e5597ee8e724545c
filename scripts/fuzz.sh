#!/usr/bin/env bash
# fuzz.sh [SECONDS] [BUILD_DIR]: builds the libFuzzer targets with clang
# (ASan + UBSan) and runs them from their seed corpora, SECONDS in all
# (default 240), shared equally among the targets. BUILD_DIR (default
# build-fuzz) is configured with BUILD_FUZZ when it has no configuration yet;
# the test script passes its clang sanitizer build, which has the targets. A
# crash, a hang (an input running over 10 s) or a sanitizer report fails the
# run.
set -euo pipefail
cd "$(dirname "$0")/.."
secs="${1:-240}"
dir="${2:-build-fuzz}"

if [ ! -f "$dir/CMakeCache.txt" ]; then
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DBUILD_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
fi
# Only the fuzz targets and the libraries they use.
mapfile -t targets < <(for f in tests/fuzz/fuzz_*.cpp; do basename "$f" .cpp; done)
ninja -C "$dir" "${targets[@]}"

each=$((secs / ${#targets[@]}))
((each >= 5)) || each=5
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen
for name in "${targets[@]}"; do
  target="$dir/tests/fuzz/$name"
  echo "== $name: ${each}s =="
  mkdir -p "$work/$name"
  # New inputs go to the scratch folder; the seeds stay untouched.
  "$target" -max_total_time="$each" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
    -artifact_prefix="$work/" -print_final_stats=1 "$work/$name" "tests/fuzz/corpus/$name" \
    || { echo "$name failed; reproducer:"; ls "$work"/crash-* "$work"/timeout-* "$work"/leak-* 2>/dev/null; exit 1; }
done
