#!/usr/bin/env bash
# ortelix-pcnm at scale. First side by side with the dialogue program on
# 2000 sites (every PCNM variable, layout 1), checking that both write the
# same variables up to their signs; then the K leading variables (K = 100,
# and 50 from a million sites on) of 10^4 and 10^5 sites beside ARPACK
# (scipy's eigsh) on the same operator, and of 10^6 sites alone, each on
# several draws of each kind of site set (bench/pcnm_arpack.sh); 10^7
# sites spread at random, once, on request. The limit is the longest edge
# of a minimum spanning tree throughout.
#
#   bench/pcnm_scale.sh [build folder] [runs] [draws of a million sites] [largest]
#
# RUNS (default 3) is the number of runs of the comparison and of draws of
# each kind of site set. LARGEST (default 1000000) skips the sizes above
# it: 0 runs the 2000-site comparison alone, 10000000 adds 10^7 sites.
# Prints median wall-clock seconds and peak resident memory (GNU time).
set -euo pipefail

build=${1:-build}
runs=${2:-3}
million_runs=${3:-1}
here=$(cd "$(dirname "$0")" && pwd)
largest=${4:-1000000}
dialogue=$(realpath "$build/src/main/ortelix")
pcnm=$(realpath "$build/src/tools/ortelix-pcnm")
threshold=$(realpath "$build/src/tools/ortelix-threshold")
for program in "$dialogue" "$pcnm" "$threshold"; do
  [ -x "$program" ] || { echo "missing $program: build first (cmake --build $build)" >&2; exit 2; }
done
/usr/bin/time -f %M true > /dev/null 2>&1 || { echo "needs GNU time (/usr/bin/time)" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# uniform N SEED: N sites over 1000 x 1000, to the millimetre.
uniform() {
  awk -v n="$1" -v seed="$2" 'BEGIN { srand(seed); print n, 2, 0
    for (i = 0; i < n; i++) printf "%.3f %.3f\n", rand() * 1000, rand() * 1000 }'
}

# timed FOLDER COMMAND...: runs COMMAND in FOLDER; prints milliseconds and
# peak kilobytes.
timed() {
  local dir=$1; shift
  local start end
  start=$(date +%s%N)
  (cd "$dir" && /usr/bin/time -o time.txt -f %M "$@" > screen.txt)
  end=$(date +%s%N)
  echo "$(( (end - start) / 1000000 )) $(tail -n 1 "$dir/time.txt")"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# The same values up to their signs: every minus sign blanked.
same_up_to_sign() { cmp -s <(sed 's/-/ /g' "$1") <(sed 's/-/ /g' "$2"); }

status=0
uniform 2000 1 > "$work/u2000.txt"
u2000_limit=$("$threshold" -q "$work/u2000.txt")

echo "2000 sites, every PCNM variable; median wall-clock seconds of $runs runs, side by side"
printf '%-10s %10s %10s %8s %12s %12s  %s\n' sites dialogue pcnm ratio "dialogue MB" "pcnm MB" "same variables"
for scenario in grid uniform; do
  : > "$work/d.ms"; : > "$work/p.ms"
  for ((i = 1; i <= runs; i++)); do
    d="$work/$scenario.d.$i" p="$work/$scenario.p.$i"
    mkdir -p "$d" "$p"
    if [ $scenario = grid ]; then
      printf 'rep.txt\nvar.txt\n1\n2\n50 40\n0\n1\n1\n' > "$d/answers"
      read -r ms d_kb < <(timed "$d" sh -c "$dialogue < answers")
      echo "$ms" >> "$work/d.ms"
      read -r ms p_kb < <(timed "$p" "$pcnm" --grid 50 40 --limit mst --format 1 -o var.txt)
    else
      cp "$work/u2000.txt" "$d/sites.txt"; cp "$work/u2000.txt" "$p/sites.txt"
      printf 'rep.txt\nvar.txt\n1\n3\nsites.txt\n1\n%s\n' "$u2000_limit" > "$d/answers"
      read -r ms d_kb < <(timed "$d" sh -c "$dialogue < answers")
      echo "$ms" >> "$work/d.ms"
      read -r ms p_kb < <(timed "$p" "$pcnm" sites.txt --limit mst --format 1 -o var.txt)
    fi
    echo "$ms" >> "$work/p.ms"
    same_up_to_sign "$d/var.txt" "$p/var.txt" || { same=NO; status=1; }
  done
  same=${same:-yes}
  dm=$(median < "$work/d.ms"); pm=$(median < "$work/p.ms")
  awk -v s="$scenario" -v d="$dm" -v p="$pm" -v dk="$d_kb" -v pk="$p_kb" -v same="$same" 'BEGIN {
    printf "%-10s %10.2f %10.2f %8.2f %12.1f %12.1f  %s\n", s, d / 1000, p / 1000, d / p, dk / 1024, pk / 1024, same }'
  unset same
done

# Then the K leading variables on several draws of each kind of site set,
# beside ARPACK on the same operator (bench/pcnm_arpack.sh) up to 10^5
# sites, alone beyond.
for n in 10000 100000 1000000 10000000; do
  [ "$n" -le "$largest" ] || continue
  echo
  case $n in
    10000 | 100000) "$here/pcnm_arpack.sh" "$build" $n 100 "$runs" ;;
    1000000) [ "$million_runs" -gt 0 ] && "$here/pcnm_arpack.sh" "$build" $n 50 "$million_runs" "uniform grid" 0 ;;
    10000000) "$here/pcnm_arpack.sh" "$build" $n 50 1 uniform 0 ;;
  esac
done
exit $status
