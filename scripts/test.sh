#!/usr/bin/env bash
# Builds the program and its tests, then runs every test.
#   BUILD_DIR   build folder (default: build)
#   CMAKE_ARGS  extra arguments for the configure step
# Installs the Debian packages first when one of them is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-packages.sh --if-missing
build="${BUILD_DIR:-build}"
# shellcheck disable=SC2086
cmake -S . -B "$build" -G Ninja -DVELDRA_WERROR=ON ${CMAKE_ARGS:-}
cmake --build "$build" -j "$(nproc)"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
