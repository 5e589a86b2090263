#!/usr/bin/env bash
# Takes the evidence window's screenshots under Xvfb at 100% and 200% scaling
# into docs/screenshots/, on the evidence sample class added to the sample
# workspace (./sample-workspace, as run-sample.sh lays it down).
#   BUILD_DIR  build folder (default: build)
# Needs xvfb (xvfb-run) and imagemagick.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BUILD_DIR:-build}"
cmake --build "$build" -j2 --target veldra-setup veldra-make-sample veldra-evidence-sample veldra-evidence-shots
workspace="$PWD/sample-workspace"
"$build/tools/setup/veldra-setup" "$workspace" >/dev/null
"$build/tools/sample/veldra-make-sample" "$workspace"
project="EVIDENCE SAMPLE"
if ! grep -q "\"$project\"" "$workspace/projects/projects.fil"; then
  "$build/tests/tools/classes/veldra-evidence-sample" "$workspace" >/dev/null
  # Two drawings the reader cannot read, for the problem drawings.
  mkdir -p "$workspace/evidence class/zoe" "$workspace/evidence class/yann"
  printf 'not a drawing' > "$workspace/evidence class/zoe/drawing.dwg"
  : > "$workspace/evidence class/yann/drawing.dwg"
fi
out="$PWD/docs/screenshots"
for scale in 1 2; do
  QT_SCALE_FACTOR=$scale xvfb-run -a -s "-screen 0 2200x1500x24" \
    "$build/tools/shots/veldra-evidence-shots" "$workspace" "$project" "$out" "-${scale}00"
done
# A small screen at 200%: 1600x1000 pixels hold a window of 800x500.
QT_SCALE_FACTOR=2 xvfb-run -a -s "-screen 0 1600x1000x24" \
  "$build/tools/shots/veldra-evidence-shots" "$workspace" "$project" "$out" "-200-small" full
# Palette PNGs keep the files small; the window has few colours.
for f in "$out"/evidence-*.png; do convert "$f" -strip -colors 256 "PNG8:$f"; done
ls -l "$out"/evidence-*.png
