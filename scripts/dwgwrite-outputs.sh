#!/bin/sh
# Writes the test writer's drawings in every version it writes, with and
# without summary information, preview, layers and stamps, and the sample
# class when veldra-make-sample is built, into OUT, so that the bytes of
# two builds can be compared with `diff -r`:
#   scripts/dwgwrite-outputs.sh BUILD_DIR OUT
# Every date and identity is fixed, so a build writes the same bytes each run.
set -eu
build=$(cd "$1" && pwd)
out=$(mkdir -p "$2" && cd "$2" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
# The writer's place in this tree's build, or in that of a tree where it
# stood beside the tests.
write=$build/tools/dwgwrite/veldra-dwgwrite
[ -x "$write" ] || write=$build/tests/tools/dwgwrite/veldra-dwgwrite
[ -x "$write" ] || { echo "veldra-dwgwrite is not built in $build" >&2; exit 1; }
sample=$build/tools/sample/veldra-make-sample
[ -x "$sample" ] || sample=""
rm -rf "$out"
mkdir -p "$out/written"
# A bitmap the writer takes: a file header it drops, then the picture's bytes.
printf 'BM\000\000\000\000\000\000\000\000\000\000\000\000DIB' >"$out/tiny.bmp"
for version in AC1012 AC1014 AC1015 AC1018 AC1024 AC1027 AC1032; do
  # The defaults: no entity, every identity derived.
  "$write" "$out/written/empty_$version.dwg" --version $version
  "$write" "$out/written/small_$version.dwg" --version $version --date 2459632:37383000 \
    --entity LINE:2A0 --entity CIRCLE:2A1:paper --entity TEXT:2A2 --entity ELLIPSE:2A3 --entity POINT:2A4:paper \
    --fingerprint-guid '{00000000-0000-0000-0000-000000000001}' \
    --version-guid '{00000000-0000-0000-0000-000000000002}'
  extra=""
  case $version in
    AC1012|AC1014|AC1015) extra="--preview $out/tiny.bmp" ;;
    *) extra="--summary title=Title --summary author=Autor\303\251 --summary hyperlinkbase=http://x --preview $root/resources/veldra.png" ;;
  esac
  # Enough entities to fill several pages of the objects section, named
  # layers and every stamp given.
  # shellcheck disable=SC2086
  "$write" "$out/written/large_$version.dwg" --version $version --date 2459632.432673611 \
    --entity LINE:400-1F00 --entity ARC:2000-2400:paper --entity LWPOLYLINE:2500-2600 --entity TEXT:2601-2610 \
    --layer Walls --layer "Doors and windows" --updated 2459640:100 --editing-time 3:5000 --handseed 3000 \
    $extra
done
# The versions before R13, with what they hold.
for version in AC1.40 AC1.50 AC2.10 AC1001 AC1002 AC1003 AC1004 AC1006 AC1009; do
  "$write" "$out/written/small_$version.dwg" --version $version --date 2459632:37383000 \
    --entity LINE:2A0 --entity CIRCLE:2A1 --entity TEXT:2A2 --entity POINT:2A4 --layer Walls --handseed 300
done
# The sample class is dated today: compare outputs written the same day.
if [ -n "$sample" ]; then
  mkdir -p "$out/sample/projects"
  "$sample" "$out/sample" >/dev/null
  rm -rf "$out/sample/projects"
fi
