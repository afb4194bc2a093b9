#!/bin/sh
# Installs what building and testing quavert needs, where it is missing.
set -e
need=""
for pkg in g++ cmake make libgtest-dev libbenchmark-dev; do
  dpkg -s "$pkg" >/dev/null 2>&1 || need="$need $pkg"
done
if [ -n "$need" ]; then
  if [ "$(id -u)" = 0 ]; then SUDO=""; else SUDO="sudo"; fi
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q $need
fi
