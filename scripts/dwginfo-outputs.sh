#!/bin/sh
# Writes every form of veldra-dwginfo's output (plain, --evidence, --geometry,
# --preview and --draw with the pictures) for the sample drawings and for drawings of the
# writer in every version into OUT, so that two builds can be compared with
# `diff -r`:
#   scripts/dwginfo-outputs.sh BUILD_DIR OUT
# The writer's drawings are written afresh with fixed dates and identities,
# and are therefore the same in every run.
set -eu
build=$(cd "$1" && pwd)
out=$(mkdir -p "$2" && cd "$2" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
info=$build/tools/dwginfo/veldra-dwginfo
write=$build/tools/dwgwrite/veldra-dwgwrite
[ -x "$write" ] || write=$build/tests/tools/dwgwrite/veldra-dwgwrite
rm -rf "$out"
mkdir -p "$out/written" "$out/previews" "$out/drawn"
for version in AC1012 AC1014 AC1015 AC1018 AC1024 AC1027 AC1032; do
  "$write" "$out/written/small_$version.dwg" --version $version --date 2459632:37383000 \
    --entity LINE:2A0 --entity CIRCLE:2A1:paper --entity TEXT:2A2 \
    --fingerprint-guid '{00000000-0000-0000-0000-000000000001}' \
    --version-guid '{00000000-0000-0000-0000-000000000002}'
  extra=""
  case $version in AC1012|AC1014|AC1015) ;; *) extra="--summary title=Title --summary author=Author --preview $root/resources/veldra.png" ;; esac
  # Enough entities to fill several pages of the objects section.
  # shellcheck disable=SC2086
  "$write" "$out/written/large_$version.dwg" --version $version --date 2459632:37383000 \
    --entity LINE:400-1F00 --entity ARC:2000-2400:paper --entity LWPOLYLINE:2500-2600 \
    --fingerprint-guid '{00000000-0000-0000-0000-000000000003}' \
    --version-guid '{00000000-0000-0000-0000-000000000004}' $extra
done
# The writer's drawings by relative names, so that the outputs of two
# folders compare.
cd "$out"
set -- "$root"/tests/data/drawings/*.dwg written/*.dwg
for form in plain evidence geometry; do
  option=""
  [ $form = plain ] || option=--$form
  # One call over all drawings, and each drawing alone.
  "$info" $option "$@" >"$form.all" 2>&1 || true
  for drawing; do
    "$info" $option "$drawing" >"$form.$(basename "$drawing")" 2>&1 || true
  done
done
"$info" --preview previews "$@" >preview.all 2>&1 || true
"$info" --draw drawn "$@" >draw.all 2>&1 || true
