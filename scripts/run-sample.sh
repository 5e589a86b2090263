#!/usr/bin/env bash
# Builds the program, lays down a sample workspace in ./sample-workspace and
# starts the program on it.
#   BUILD_DIR  build folder (default: build)
# Installs the Debian packages first when one of them is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
missing=$(grep -v '^#' scripts/packages.txt | while read -r pkg; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || echo "$pkg"
done)
if [ -n "$missing" ]; then bash scripts/install-packages.sh; fi
build="${BUILD_DIR:-build}"
cmake -S . -B "$build" -G Ninja -DVELDRA_WERROR=ON
cmake --build "$build" -j "$(nproc)"
workspace="$PWD/sample-workspace"
"$build/tools/setup/veldra-setup" "$workspace"
# The collection helper fills the workspace with sample projects, when built.
make_sample=$(find "$build" -type f -name veldra-make-sample -perm -u+x 2>/dev/null | head -n 1)
if [ -n "$make_sample" ]; then "$make_sample" "$workspace"; fi
exec "$build/src/ui/veldra" --workspace "$workspace"
