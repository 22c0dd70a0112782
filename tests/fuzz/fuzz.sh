#!/bin/sh
# Builds the libFuzzer targets with clang (address and undefined-behaviour
# sanitizers) and runs each for SECONDS seconds (default 60), keeping its
# corpus under build/fuzz/corpus. Not part of the test suite.
# Usage: tests/fuzz/fuzz.sh [seconds] [target...]
#   targets: release_answer build_output command_line
set -e
cd "$(dirname "$0")/../.."
SECONDS_EACH=${1:-60}
[ $# -gt 0 ] && shift
TARGETS=${*:-release_answer build_output command_line}
cmake -S . -B build/fuzz -G Ninja -DCORVANE_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined" \
  >/dev/null
for target in $TARGETS; do
  cmake --build build/fuzz -j2 --target "fuzz_$target" >/dev/null
  mkdir -p "build/fuzz/corpus/$target" "build/fuzz/crashes"
  echo "== $target"
  "build/fuzz/tests/fuzz/fuzz_$target" -max_total_time="$SECONDS_EACH" -max_len=65536 \
    -rss_limit_mb=2048 -artifact_prefix="build/fuzz/crashes/$target-" -print_final_stats=1 \
    "build/fuzz/corpus/$target" 2>&1 | grep -E "^stat::number_of_executed_units|ERROR|SUMMARY|crash-|Done" || true
done
