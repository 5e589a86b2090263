#!/usr/bin/env bash
# Writes the seeds of the section fuzz targets into fuzz/seeds/ from the
# sample drawings (when beside the repository) and the test writer's drawings.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BUILD:-build}"
cmake --build "$build" --target veldra-fuzzseeds
drawings=()
if [ -d ../shared/drawings ]; then drawings=(../shared/drawings/*.dwg); fi
"$build"/tools/fuzzseeds/veldra-fuzzseeds fuzz/seeds "${drawings[@]}"
