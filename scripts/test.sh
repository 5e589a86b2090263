#!/usr/bin/env bash
# Builds the program and its tests, then runs every test.
#   BUILD_DIR   build folder (default: build)
#   CMAKE_ARGS  extra arguments for the configure step
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BUILD_DIR:-build}"
cmake -S . -B "$build" -G Ninja -DVELDRA_WERROR=ON ${CMAKE_ARGS:-}
cmake --build "$build" -j "$(nproc)"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
