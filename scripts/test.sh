#!/usr/bin/env bash
# Builds the program and its tests, then runs every test.
#   BUILD_DIR   build folder (default: build)
#   CMAKE_ARGS  extra arguments for the configure step (-DVELDRA_BENCH=ON
#               builds the benchmarks too, which need libbenchmark-dev;
#               -DVELDRA_QUICK_BUILD=OFF compiles file by file, with debug
#               information, for working on the code)
# Installs the Debian packages of scripts/packages.txt first when one of
# them is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-packages.sh --if-missing
build="${BUILD_DIR:-build}"
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
# shellcheck disable=SC2086
cmake -S . -B "$build" -G Ninja -DVELDRA_WERROR=ON -DVELDRA_BENCH=OFF -DVELDRA_QUICK_BUILD=ON "${launcher[@]}" ${CMAKE_ARGS:-}
cmake --build "$build" -j "$(nproc)"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
