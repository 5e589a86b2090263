#!/usr/bin/env bash
# Writes the seeds of the section fuzz targets into fuzz/seeds/ from the
# sample drawings (tests/data/drawings) and the test writer's drawings.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BUILD:-build}"
cmake --build "$build" --target veldra-fuzzseeds
drawings=(tests/data/drawings/*.dwg)
"$build"/tests/tools/fuzzseeds/veldra-fuzzseeds fuzz/seeds "${drawings[@]}"
