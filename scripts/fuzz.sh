#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each one.
#   scripts/fuzz.sh RUNS      run each target for RUNS inputs (default 4000)
#   FUZZ_SECONDS=600 scripts/fuzz.sh   run each target for that many seconds instead
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-4000}"
build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DVELDRA_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)"
for target in "$build"/fuzz/*/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  seeds="fuzz/seeds/$name"
  corpus=$(mktemp -d)
  args=(-max_len=1048576 -rss_limit_mb=2048 -timeout=10)
  if [ -n "${FUZZ_SECONDS:-}" ]; then args+=(-max_total_time="$FUZZ_SECONDS"); else args+=(-runs="$runs"); fi
  dirs=("$corpus")
  [ -d "$seeds" ] && dirs+=("$seeds")
  if [ "$name" = fuzz_dwg_reader ] && [ -d ../shared/drawings ]; then dirs+=(../shared/drawings); fi
  echo "-- $name"
  "$target" "${args[@]}" "${dirs[@]}"
  rm -rf "$corpus"
done
