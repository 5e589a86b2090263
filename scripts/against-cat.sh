#!/bin/bash
# Times, as whole processes, one veldra-dwginfo call over every drawing of a
# class, a collection pass over it, an evidence check with an empty store
# and one again with nothing changed, each against `cat` of the same files,
# and the start of `veldra-cli --help` against /bin/true; prints the median
# processor and wall times of ROUNDS runs and their ratios:
#   bash scripts/against-cat.sh BUILD_DIR FOLDER [ROUNDS]
#       the drawings (*.dwg, *.dxf) of FOLDER and of its immediate
#       sub-folders, taken as one location with its sub-folders
#   bash scripts/against-cat.sh BUILD_DIR --classes [ROUNDS]
#       writes two classes of 2,000 drawings, one folder per student, and
#       times both: DXF drawings written by ezdxf (python3-ezdxf, an
#       independent writer; tests/tools/classes/ezdxf_class.py, seeds one
#       after another) and DWG drawings written by our own writer
#       (bench_class_scale: BUILD_DIR built with -DVELDRA_BENCH=ON).
#       CLASS_SIZE=N writes N drawings instead.
# The files are read once first, so that all of them come from the cache.
# The collection pass reads DWG drawings only; for a class without any it
# is left out.
set -eu
TIMEFORMAT='%3U %3S %3R'
build=$(cd "$1" && pwd)
rounds=${3:-7}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
info=$build/tools/dwginfo/veldra-dwginfo
cli=$build/tools/cli/veldra-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

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

# The ratios of every line to the first one's.
ratios() {
  awk -v unit="$1" -v scale="$2" -v floor="$3" '
    NR == 1 { c = $2; w = $3 }
    { printf "%-16s cpu %.3f %s  wall %.3f %s", $1, $2 * scale, unit, $3 * scale, unit
      if (NR > 1) printf "   cpu %.2fx  wall %.2fx of %s", (c > 0 ? $2 / c : 0), (w > 0 ? $3 / w : 0), floor
      printf "\n" }'
}

# Times the programs over the drawings of FOLDER and its sub-folders.
against_cat() {
  local folder=$1 ws
  ws=$(mktemp -d "$work/ws.XXXX")
  mkdir -p "$ws/projects" "$ws/compares" "$ws/time conflicts" "$ws/handle conflicts" "$ws/date conflicts"
  printf '"FLOOR"\r\n' >"$ws/projects/projects.fil"
  printf '"+%s"\r\n' "$folder" >"$ws/projects/FLOOR.prj"
  local files=() dwg=0 file
  while IFS= read -r -d '' file; do
    files+=("$file")
    case "$file" in *.[dD][wW][gG]) dwg=$((dwg + 1)) ;; esac
  done < <(find "$folder" -mindepth 1 -maxdepth 2 \( -iname '*.dwg' -o -iname '*.dxf' \) -print0 | sort -z)
  [ "${#files[@]}" -gt 0 ] || { echo "no drawings in $folder" >&2; exit 2; }
  cat "${files[@]}" >/dev/null

  local floor dwginfo collect evidence again
  floor=$(measure cat "${files[@]}")
  dwginfo=$(measure "$info" "${files[@]}")
  [ "$dwg" -eq 0 ] || collect=$(measure "$cli" --workspace "$ws" collect FLOOR --entity LINE)
  evidence=$(measure bash -c 'rm -rf "$1/evidence"; exec "$2" --workspace "$1" evidence FLOOR' - "$ws" "$cli")
  "$cli" --workspace "$ws" evidence FLOOR >/dev/null 2>&1 || true
  again=$(measure "$cli" --workspace "$ws" evidence FLOOR)
  echo "${#files[@]} drawings ($dwg DWG), $(du -shL "$folder" | cut -f1) in $folder; medians of $rounds runs"
  {
    echo "cat $floor"
    echo "veldra-dwginfo $dwginfo"
    [ "$dwg" -eq 0 ] || echo "collection-pass $collect"
    echo "evidence-check $evidence"
    echo "evidence-again $again"
  } | ratios s 1 cat
  [ "$dwg" -gt 0 ] || echo "collection-pass  (left out: the pass collects DWG drawings only)"
  # System calls per drawing, where strace is installed (Debian package strace).
  command -v strace >/dev/null || return 0
  local line="system calls per drawing:" n
  n=$(syscalls cat "${files[@]}")
  line="$line cat $n"
  if [ "$dwg" -gt 0 ]; then
    n=$(syscalls "$cli" --workspace "$ws" collect FLOOR --entity LINE)
    line="$line, collection-pass $n"
  fi
  rm -rf "$ws/evidence"
  n=$(syscalls "$cli" --workspace "$ws" evidence FLOOR)
  line="$line, evidence-check $n"
  echo "$line"
}

# The system calls of one run of the command, all its threads, per drawing.
syscalls() {
  strace -c -f -o "$work/strace" "$@" >/dev/null 2>&1 || true
  awk -v n="${#files[@]}" '$NF == "total" { printf "%.1f", $4 / n }' "$work/strace"
}

# The system's Python, which python3-ezdxf goes with.
python=/usr/bin/python3
[ -x "$python" ] || python=python3

# Writes N drawings with ezdxf into FOLDER, one folder per student.
write_ezdxf_class() {
  local out=$1 n=$2 seed=1 count=0 student
  mkdir -p "$out"
  while [ "$count" -lt "$n" ]; do
    rm -rf "$work/seed"
    "$python" "$source_dir/tests/tools/classes/ezdxf_class.py" "$seed" "$work/seed" >/dev/null
    for student in "$work/seed/class"/*/; do
      [ "$count" -lt "$n" ] || break
      mkdir -p "$out/$seed-$(basename "$student")"
      mv "$student/drawing.dxf" "$out/$seed-$(basename "$student")/"
      count=$((count + 1))
    done
    seed=$((seed + 1))
  done
  rm -rf "$work/seed"
}

if [ "$2" = "--classes" ]; then
  size=${CLASS_SIZE:-2000}
  writer=$build/bench/evidence/bench_class_scale
  [ -x "$writer" ] || { echo "$writer is missing: build with -DVELDRA_BENCH=ON" >&2; exit 2; }
  echo "writing two classes of $size drawings..." >&2
  write_ezdxf_class "$work/ezdxf" "$size"
  VELDRA_SCALE_WRITE="$work/own" "$writer" "$size" nested
  echo "== written by ezdxf, one folder per student"
  against_cat "$work/ezdxf"
  echo "== written by our own writer, one folder per student"
  against_cat "$work/own"
else
  against_cat "$(cd "$2" && pwd)"
fi

# Starting: many calls of each, against as many of /bin/true.
starts=200
startup() { for ((k = 0; k < starts; k++)); do "$@" >/dev/null 2>&1 || true; done; }
true_time=$(measure startup /bin/true)
help_time=$(measure startup "$cli" --help)
printf '%s\n%s\n' "true $true_time" "veldra-cli-help $help_time" |
  ratios "ms per start" "$(awk -v n="$starts" 'BEGIN { print 1000 / n }')" /bin/true
