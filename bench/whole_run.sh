#!/usr/bin/env bash
# Times the whole program on 2000 sites, side by side with the same program
# built on the literal kernels (ortelix_reference), and checks that both
# write the same files byte for byte (the report's computation time aside).
#
#   bench/whole_run.sh [build folder] [fast runs] [literal runs]
#
# Two dialogues, each answered from a file in a fresh folder:
#   grid      a 50 x 40 grid, PCNM variables truncated at the spacing, layout 1
#   sup       the same 2000 sites from a coordinate file, the last 100 of them
#             supplementary objects (so the correlation check runs)
# Prints the median wall-clock seconds of each, the ratio, and the peak
# resident memory when GNU time is there.
set -euo pipefail

build=${1:-build}
fast_runs=${2:-5}
literal_runs=${3:-3}
fast=$(realpath "$build/src/main/ortelix")
literal=$(realpath "$build/bench/ortelix_reference")
for program in "$fast" "$literal"; do
  [ -x "$program" ] || { echo "missing $program: build first (cmake --build $build)" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

printf 'rep.txt\nvar.txt\n1\n2\n50 40\n0\n1\n1\n' > "$work/grid.answers"
printf 'rep.txt\nvar.txt\n1\n3\nsites.txt\n1\n1\n' > "$work/sup.answers"
{
  echo "1900 2 100"
  for ((r = 1; r <= 40; r++)); do
    for ((c = 1; c <= 50; c++)); do echo "$c $r"; done
  done
} > "$work/sites.txt"

gnu_time=""
if /usr/bin/time -f %M true > /dev/null 2>&1; then gnu_time=/usr/bin/time; fi

# run PROGRAM SCENARIO FOLDER: one run in a fresh folder; prints seconds
# and peak kilobytes (0 when unknown).
run() {
  local program=$1 scenario=$2 dir=$3
  mkdir -p "$dir"
  cp "$work/sites.txt" "$dir/"
  local start end kb=0
  start=$(date +%s%N)
  if [ -n "$gnu_time" ]; then
    (cd "$dir" && $gnu_time -o time.txt -f %M "$program" < "$work/$scenario.answers" > screen.txt)
    kb=$(tail -n 1 "$dir/time.txt")
  else
    (cd "$dir" && "$program" < "$work/$scenario.answers" > screen.txt)
  fi
  end=$(date +%s%N)
  echo "$(( (end - start) / 1000000 )) $kb"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

same_output() {
  local a=$1 b=$2
  cmp -s "$a/var.txt" "$b/var.txt" &&
    cmp -s <(grep -v 'Computation time' "$a/rep.txt") <(grep -v 'Computation time' "$b/rep.txt") &&
    cmp -s <(grep -v 'Computation time' "$a/screen.txt") <(grep -v 'Computation time' "$b/screen.txt")
}

status=0
echo "Whole run, 2000 sites; median wall-clock seconds ($fast_runs fast runs, $literal_runs literal runs)"
printf '%-8s %10s %10s %8s %12s %12s  %s\n' scenario literal fast ratio "literal MB" "fast MB" "same files"
for scenario in grid sup; do
  : > "$work/f.ms"; : > "$work/l.ms"; fast_kb=0; literal_kb=0
  for ((i = 1; i <= literal_runs; i++)); do
    read -r ms kb < <(run "$literal" "$scenario" "$work/$scenario.literal.$i")
    echo "$ms" >> "$work/l.ms"; literal_kb=$kb
  done
  for ((i = 1; i <= fast_runs; i++)); do
    read -r ms kb < <(run "$fast" "$scenario" "$work/$scenario.fast.$i")
    echo "$ms" >> "$work/f.ms"; fast_kb=$kb
  done
  same=yes
  for ((i = 1; i <= fast_runs; i++)); do
    same_output "$work/$scenario.literal.1" "$work/$scenario.fast.$i" || same=NO
  done
  [ "$same" = yes ] || status=1
  l=$(median < "$work/l.ms"); f=$(median < "$work/f.ms")
  awk -v s="$scenario" -v l="$l" -v f="$f" -v lk="$literal_kb" -v fk="$fast_kb" -v same="$same" 'BEGIN {
    printf "%-8s %10.2f %10.2f %8.1f %12.1f %12.1f  %s\n", s, l / 1000, f / 1000, l / f, lk / 1024, fk / 1024, same }'
done
exit $status
