#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each one.
#   scripts/fuzz.sh RUNS      run each target for RUNS inputs (default 4000)
#   FUZZ_SECONDS=600 scripts/fuzz.sh   run each target for that many seconds instead
#   FUZZ_ONLY="fuzz_dwg_header fuzz_dwg_objects" scripts/fuzz.sh   run only these targets
# The section targets start from fuzz/seeds/<target> (scripts/fuzz-seeds.sh
# writes them); the whole-drawing targets also from tests/data/drawings.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-packages.sh --if-missing scripts/packages.txt scripts/packages-ci.txt
runs="${1:-4000}"
build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DVELDRA_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "${FUZZ_JOBS:-$(nproc)}"
for target in "$build"/fuzz/*/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  if [ -n "${FUZZ_ONLY:-}" ] && [[ " $FUZZ_ONLY " != *" $name "* ]]; then continue; fi
  seeds="fuzz/seeds/$name"
  corpus=$(mktemp -d)
  args=(-max_len=1048576 -rss_limit_mb=2048 -timeout=10)
  if [ -n "${FUZZ_SECONDS:-}" ]; then args+=(-max_total_time="$FUZZ_SECONDS"); else args+=(-runs="$runs"); fi
  dirs=("$corpus")
  [ -d "$seeds" ] && dirs+=("$seeds")
  case "$name" in
    fuzz_dwg_reader | fuzz_dwg_reencode) dirs+=(tests/data/drawings) ;;
  esac
  echo "-- $name"
  "$target" "${args[@]}" "${dirs[@]}"
  rm -rf "$corpus"
done
