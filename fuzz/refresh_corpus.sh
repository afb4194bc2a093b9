#!/bin/sh
# Refreshes the seed corpus from the tests' sources, the example song and the
# test fixtures' voice files.   fuzz/refresh_corpus.sh [build-folder]
set -e
cd "$(dirname "$0")/.."
build="${1:-build}"
mkdir -p fuzz/corpus/compile fuzz/corpus/voice
QUAVERT_SAVE_SOURCES="$PWD/fuzz/corpus/compile" ctest --test-dir "$build" -j "$(nproc)" >/dev/null || true
cp examples/song.mml fuzz/corpus/compile/example_song.mml
for f in tests/fixtures/*; do
  case "$f" in *.ptvoice|*.ptnoise|*.wav|*.ogg) cp "$f" fuzz/corpus/voice/ ;; esac
done
echo "compile seeds: $(ls fuzz/corpus/compile | wc -l), voice seeds: $(ls fuzz/corpus/voice | wc -l)"
