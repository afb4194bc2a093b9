#!/bin/sh
# Builds the fuzz targets with clang and runs each for a bounded time from the
# seed corpus in fuzz/corpus/. Fails on any crash, leak, undefined behaviour
# or slow unit.   fuzz/run.sh [seconds-per-target]
set -e
cd "$(dirname "$0")/.."
seconds="${1:-60}"
build=build/fuzz
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DQUAVERT_FUZZ=ON -DQUAVERT_WERROR=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)"
for target in compile voice; do
  work=$(mktemp -d)  # absolute: the targets change their current folder
  seeds="fuzz/corpus/$target"
  echo "fuzz_$target: $(ls "$seeds" | wc -l) seed inputs, $seconds seconds"
  start=$(date +%s)
  status=0
  "$build/bin/fuzz_$target" -max_total_time="$seconds" -timeout=60 -rss_limit_mb=2048 \
    -max_len=16384 -print_final_stats=1 -artifact_prefix="$PWD/$build/crash-$target-" \
    "$work" "$PWD/$seeds" >"$build/fuzz_$target.log" 2>&1 || status=$?
  tail -n 12 "$build/fuzz_$target.log"
  echo "fuzz_$target: ran $(( $(date +%s) - start )) s, corpus grew to $(ls "$work" | wc -l) new inputs, exit $status"
  rm -rf "$work"
  if [ "$status" -ne 0 ]; then
    grep -A 30 -E 'ERROR|runtime error|timeout' "$build/fuzz_$target.log" | head -n 60
    exit "$status"
  fi
done
