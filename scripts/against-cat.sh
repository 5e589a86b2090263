#!/bin/bash
# Times, as whole processes, one veldra-dwginfo call over every drawing of a
# folder, a collection pass over the same folder, an evidence check with an
# empty store and one again with nothing changed, and the start of
# `veldra-cli --help` against /bin/true, each against `cat` of the same files, and prints the median processor and wall times of ROUNDS
# runs and their ratios to cat's:
#   bash scripts/against-cat.sh BUILD_DIR FOLDER [ROUNDS]
# The files are read once first, so that all of them come from the cache.
set -eu
TIMEFORMAT='%3U %3S %3R'
build=$(cd "$1" && pwd)
folder=$(cd "$2" && pwd)
rounds=${3:-7}
info=$build/tools/dwginfo/veldra-dwginfo
cli=$build/tools/cli/veldra-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/ws/projects" "$work/ws/compares" "$work/ws/time conflicts" "$work/ws/handle conflicts" \
  "$work/ws/date conflicts"
printf '"FLOOR"\r\n' >"$work/ws/projects/projects.fil"
printf '"-%s"\r\n' "$folder" >"$work/ws/projects/FLOOR.prj"
set -- "$folder"/*.dwg
[ -e "$1" ] || { echo "no drawings in $folder" >&2; exit 2; }
cat "$@" >/dev/null

# Runs the command ROUNDS times; prints the median of processor seconds
# (user + system) and of wall seconds.
measure() {
  : >"$work/times"
  n=0
  while [ "$n" -lt "$rounds" ]; do
    { time "$@" >/dev/null 2>&1 || true; } 2>>"$work/times"
    n=$((n + 1))
  done
  awk '{ cpu[NR] = $1 + $2; wall[NR] = $3 }
       function median(a, n,   i, j, t) {
         for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (a[j] < a[i]) { t = a[i]; a[i] = a[j]; a[j] = t }
         return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
       }
       END { printf "%.4f %.4f\n", median(cpu, NR), median(wall, NR) }' "$work/times"
}

floor=$(measure cat "$@")
dwginfo=$(measure "$info" "$@")
collect=$(measure "$cli" --workspace "$work/ws" collect FLOOR --entity LINE)
evidence=$(measure bash -c 'rm -rf "$1/evidence"; exec "$2" --workspace "$1" evidence FLOOR' - "$work/ws" "$cli")
"$cli" --workspace "$work/ws" evidence FLOOR >/dev/null 2>&1 || true
again=$(measure "$cli" --workspace "$work/ws" evidence FLOOR)
echo "$# drawings, $(du -shL "$folder" | cut -f1) in $folder; medians of $rounds runs"
printf '%s\n%s\n%s\n%s\n%s\n' "cat $floor" "veldra-dwginfo $dwginfo" "collection-pass $collect" \
  "evidence-check $evidence" "evidence-again $again" | awk '
  NR == 1 { c = $2; w = $3 }
  { printf "%-16s cpu %.3f s  wall %.3f s", $1, $2, $3
    if (NR > 1) printf "   cpu %.2fx  wall %.2fx of cat", (c > 0 ? $2 / c : 0), (w > 0 ? $3 / w : 0)
    printf "\n" }'
# Starting: many calls of each, against as many of /bin/true.
starts=200
startup() { for ((k = 0; k < starts; k++)); do "$@" >/dev/null 2>&1 || true; done; }
true_time=$(measure startup /bin/true)
help_time=$(measure startup "$cli" --help)
printf '%s\n%s\n' "true $true_time" "veldra-cli-help $help_time" | awk -v n="$starts" '
  NR == 1 { c = $2; w = $3 }
  { printf "%-16s cpu %.3f ms  wall %.3f ms per start", $1, $2 * 1000 / n, $3 * 1000 / n
    if (NR > 1) printf "   cpu %.2fx  wall %.2fx of /bin/true", (c > 0 ? $2 / c : 0), (w > 0 ? $3 / w : 0)
    printf "\n" }'
