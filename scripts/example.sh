#!/bin/sh
# Builds quavert and compiles the bundled example song into examples/song.ptcop.
set -e
cd "$(dirname "$0")/.."
sh scripts/setup.sh
cmake -S . -B build >/dev/null
cmake --build build -j "$(nproc)"
cd examples && ../build/bin/quavert song.mml
