#!/bin/sh
# Builds quavert and runs every test: scripts/test.sh [build-folder] [cmake options...]
set -e
cd "$(dirname "$0")/.."
sh scripts/setup.sh
build="${1:-build}"
[ $# -gt 0 ] && shift
cmake -S . -B "$build" "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
ctest --test-dir "$build" -j "$(nproc)" --output-on-failure
