#!/usr/bin/env bash
# Builds the program, lays down a sample workspace in ./sample-workspace and
# starts the program on it.
#   BUILD_DIR  build folder (default: build)
# Installs the Debian packages first when one of them is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-packages.sh --if-missing
build="${BUILD_DIR:-build}"
cmake -S . -B "$build" -G Ninja -DVELDRA_WERROR=ON -DVELDRA_BENCH=OFF -DVELDRA_QUICK_BUILD=ON
cmake --build "$build" -j "$(nproc)"
workspace="$PWD/sample-workspace"
"$build/tools/setup/veldra-setup" "$workspace"
# A class of sample drawings and its project (left alone when already there).
"$build/tools/sample/veldra-make-sample" "$workspace"
exec "$build/src/ui/veldra" --workspace "$workspace"
