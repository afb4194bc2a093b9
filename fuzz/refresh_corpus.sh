#!/bin/sh
# Refreshes the seed corpus from the tests' sources, the example song and the
# test fixtures' voice files.   fuzz/refresh_corpus.sh [build-folder]
# Sources over 16 KiB, and those that repeat by ten thousand and more (which
# run into the read limit and take seconds under the sanitizers), are left out.
set -e
cd "$(dirname "$0")/.."
build="${1:-build}"
rm -rf fuzz/corpus/compile fuzz/corpus/voice
mkdir -p fuzz/corpus/compile fuzz/corpus/voice
QUAVERT_SAVE_SOURCES="$PWD/fuzz/corpus/compile" ctest --test-dir "$build" -j "$(nproc)" >/dev/null || true
for f in fuzz/corpus/compile/*; do
  if [ "$(wc -c <"$f")" -gt 16384 ] || grep -qE '\[ *[0-9]{5,}' "$f"; then rm "$f"; continue; fi
  # Folders of this machine become bare names: the fuzz target finds the
  # fixture voices in the voice folder beside it.
  sed -i -e 's|/[^ ]*/tests/fixtures/||g' -e 's|/[^ ]*/quavert-test-[A-Za-z0-9]*/||g' "$f"
  mv "$f" "fuzz/corpus/compile/$(sha1sum <"$f" | cut -c1-16).mml"  # named by content
done
cp examples/song.mml fuzz/corpus/compile/example_song.mml
for f in tests/fixtures/* examples/voices/*; do
  case "$f" in *.ptvoice|*.ptnoise|*.wav|*.ogg) cp "$f" fuzz/corpus/voice/ ;; esac
done
echo "compile seeds: $(ls fuzz/corpus/compile | wc -l), voice seeds: $(ls fuzz/corpus/voice | wc -l)"
