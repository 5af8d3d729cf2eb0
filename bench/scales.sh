#!/usr/bin/env bash
# What ortelix-pcnm does beyond one set of variables, timed.
#
#   bench/scales.sh [build folder] [runs] [model sites] [new sites]
#
# 1. Values at new sites: a model of MODEL sites spread at random (the 50
#    leading variables at the spanning-tree limit), then the same run with
#    NEW sites placed (another random draw): the difference is the cost of
#    placing them (reading them, Gower's formula, writing their CSV).
# 2. Three limits in one run beside three one-limit runs of the same sites
#    (the 30 leading variables at each): the run of three reads the sites,
#    finds the spanning tree and the near pairs once.
# Median wall-clock seconds of RUNS runs (default 3) and peak resident
# memory (GNU time); `uptime` before and after says how loaded the machine
# was. Defaults: 100000 model sites, 1000000 new sites.
set -euo pipefail

build=${1:-build}
runs=${2:-3}
model=${3:-100000}
placed=${4:-1000000}
pcnm=$(realpath "$build/src/tools/ortelix-pcnm")
[ -x "$pcnm" ] || { echo "missing $pcnm: build first (cmake --build $build)" >&2; exit 2; }
/usr/bin/time -f %M true > /dev/null 2>&1 || { echo "needs GNU time (/usr/bin/time)" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# N random positions over 1000 x 1000, to the millimetre, from SEED.
positions() {
  awk -v n="$1" -v seed="$2" 'BEGIN { srand(seed); for (i = 0; i < n; i++) printf "%.3f %.3f\n", rand() * 1000, rand() * 1000 }'
}

# Milliseconds and peak kilobytes of a command run in $work.
timed() {
  local start end
  start=$(date +%s%N)
  (cd "$work" && /usr/bin/time -o time.txt -f %M "$@" > screen.txt)
  end=$(date +%s%N)
  echo "$(( (end - start) / 1000000 )) $(tail -n 1 "$work/time.txt")"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "load before: $(uptime)"
positions "$model" 11 > "$work/model.txt"
positions "$placed" 12 > "$work/new.txt"

: > "$work/m.ms"; : > "$work/p.ms"
for ((i = 1; i <= runs; i++)); do
  read -r ms m_kb < <(timed "$pcnm" model.txt --limit mst --count 50 -o v.csv -q)
  echo "$ms" >> "$work/m.ms"
  read -r ms p_kb < <(timed "$pcnm" model.txt --limit mst --count 50 -o v.csv -q --predict new.txt --predicted p.csv)
  echo "$ms" >> "$work/p.ms"
  rm -f "$work/v.csv" "$work/p.csv"
done
m=$(median < "$work/m.ms"); p=$(median < "$work/p.ms")
echo
echo "Values at $placed new sites from a model of $model sites (50 variables); median seconds of $runs runs"
awk -v m="$m" -v p="$p" -v mk="$m_kb" -v pk="$p_kb" 'BEGIN {
  printf "%-34s %10.2f s %10.1f MB\n", "model alone", m / 1000, mk / 1024
  printf "%-34s %10.2f s %10.1f MB\n", "model and new sites", p / 1000, pk / 1024
  printf "%-34s %10.2f s\n", "placing the new sites", (p - m) / 1000 }'

positions 20000 13 > "$work/scales.txt"
: > "$work/three.ms"; : > "$work/each.ms"
for ((i = 1; i <= runs; i++)); do
  read -r ms t_kb < <(timed "$pcnm" scales.txt --limit mst,12,16 --count 30 -o v.csv -q)
  echo "$ms" >> "$work/three.ms"
  total=0
  for l in mst 12 16; do
    read -r ms e_kb < <(timed "$pcnm" scales.txt --limit $l --count 30 -o v.csv -q)
    total=$((total + ms))
  done
  echo "$total" >> "$work/each.ms"
done
t=$(median < "$work/three.ms"); e=$(median < "$work/each.ms")
echo
echo "Three limits (mst, 12, 16) of 20000 sites, 30 variables each; median seconds of $runs runs"
awk -v t="$t" -v e="$e" 'BEGIN {
  printf "%-34s %10.2f s\n", "one run of three limits", t / 1000
  printf "%-34s %10.2f s\n", "three runs of one limit", e / 1000
  printf "%-34s %10.2f\n", "ratio", e / t }'
echo
echo "load after: $(uptime)"
