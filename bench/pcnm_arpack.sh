#!/usr/bin/env bash
# ortelix-pcnm against ARPACK (scipy's eigsh, bench/pcnm_arpack.py) on the
# same truncated Gower operator, side by side: for each kind of site set
# and each draw, one run of each, alternating, with the limit that
# ortelix-pcnm's spanning tree gives. Kinds: uniform (N sites over 1000 x
# 1000, a new seed each draw), grid (rows x cols near N, a new shape each
# draw) and clustered (N / 10 centres at random, 10 sites each around it,
# normally spread with a deviation of 4).
#
#   bench/pcnm_arpack.sh [build folder] [N] [K] [draws] [kinds] [python runs]
#
# Defaults: 100000 sites, K = 100, 3 draws, "uniform grid clustered", and
# the Python side on every draw (0: ortelix-pcnm alone, for sizes where
# eigsh takes too long). Prints every run, then for each kind the median
# and the range (min-max) of the wall-clock seconds and of the peak
# resident memory (GNU time), the ratios of the medians, and the largest
# difference between the two programs' eigenvalues over the largest one.
# The Python side needs Debian's python3-numpy and python3-scipy (and
# python3-threadpoolctl to name the BLAS); without them it is skipped with
# a note. It runs with OPENBLAS_CORETYPE and OPENBLAS_L2_SIZE unset, so
# that OpenBLAS picks the kernel for this processor.
set -euo pipefail

build=${1:-build}
n=${2:-100000}
k=${3:-100}
draws=${4:-3}
kinds=${5:-uniform grid clustered}
python_runs=${6:-1}
here=$(cd "$(dirname "$0")" && pwd)
pcnm=$(realpath "$build/src/tools/ortelix-pcnm")
[ -x "$pcnm" ] || { echo "missing $pcnm: build first (cmake --build $build)" >&2; exit 2; }
/usr/bin/time -f %M true > /dev/null 2>&1 || { echo "needs GNU time (/usr/bin/time)" >&2; exit 2; }
python=/usr/bin/python3
if [ "$python_runs" -gt 0 ] && ! "$python" -c 'import numpy, scipy.sparse.linalg, scipy.spatial' 2> /dev/null; then
  echo "note: no numpy/scipy for $python (apt-get install python3-numpy python3-scipy): ortelix-pcnm alone"
  python_runs=0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

uniform() {
  awk -v n="$1" -v seed="$2" 'BEGIN { srand(seed); print n, 2, 0
    for (i = 0; i < n; i++) printf "%.3f %.3f\n", rand() * 1000, rand() * 1000 }'
}

clustered() {
  awk -v n="$1" -v seed="$2" 'BEGIN { srand(seed); print n, 2, 0
    for (c = 0; c < n / 10; c++) {
      cx = rand() * 1000; cy = rand() * 1000
      for (i = 0; i < 10; i++) {
        do { u = rand() } while (u == 0)
        r = 4 * sqrt(-2 * log(u)); t = 6.283185307179586 * rand()
        printf "%.3f %.3f\n", cx + r * cos(t), cy + r * sin(t)
      }
    } }'
}

# grid_shape N DRAW: rows and columns near N sites, the aspect changing
# with the draw.
grid_shape() {
  awk -v n="$1" -v d="$2" 'BEGIN { split("1.6 1 2.5 1.25 2", a, " "); r = int(sqrt(n * a[(d - 1) % 5 + 1]) + 0.5)
    print r, int(n / r + 0.5) }'
}

# timed LOG COMMAND...: seconds and peak MB of COMMAND, its output to LOG.
timed() {
  local log=$1; shift
  local start end
  start=$(date +%s%N)
  /usr/bin/time -o "$log.time" -f %M "$@" > "$log" 2>&1
  end=$(date +%s%N)
  awk -v ns=$((end - start)) -v kb="$(tail -n 1 "$log.time")" 'BEGIN { printf "%.3f %.1f\n", ns / 1e9, kb / 1024 }'
}

# stats: median, min and max of a column of numbers.
stats() { sort -g | awk '{ v[NR] = $1 } END { m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
  printf "%.2f %.2f %.2f\n", m, v[1], v[NR] }'; }

echo "load before: $(uptime)"
echo "sites $n, K = $k, $draws draws of each kind; ortelix-pcnm and eigsh alternating"
if [ "$python_runs" -gt 0 ]; then
  env -u OPENBLAS_CORETYPE -u OPENBLAS_L2_SIZE "$python" -c 'import numpy, scipy; print("numpy", numpy.__version__, "scipy", scipy.__version__)'
fi
printf '%-10s %-5s %-14s %9s %9s %10s %10s %9s %9s %10s\n' kind draw input pcnm_s pcnm_MB python_s eigsh_s py_MB pairs max_diff
for kind in $kinds; do
  : > "$work/$kind.runs"
  for ((d = 1; d <= draws; d++)); do
    dir="$work/$kind.$d"
    mkdir -p "$dir"
    case $kind in
      uniform) uniform "$n" "$d" > "$dir/sites.txt"; input="seed=$d"; where=(sites.txt); pywhere=("$dir/sites.txt") ;;
      clustered) clustered "$n" "$d" > "$dir/sites.txt"; input="seed=$d"; where=(sites.txt); pywhere=("$dir/sites.txt") ;;
      grid) read -r rows cols < <(grid_shape "$n" "$d"); input="${rows}x$cols"; where=(--grid "$rows" "$cols")
            pywhere=(--grid "$rows" "$cols") ;;
    esac
    read -r ps pm < <(cd "$dir" && timed "$dir/pcnm.log" "$pcnm" "${where[@]}" --limit mst --count "$k" -o var.csv \
      --report report.txt -q)
    rm -f "$dir/var.csv"
    pairs=$(awk '/^Pairs kept:/ { print $3 }' "$dir/report.txt")
    line="$kind $d $input $ps $pm"
    if [ "$python_runs" -gt 0 ]; then
      limit=$(awk '/^Truncation limit:/ { print $3 }' "$dir/report.txt")
      read -r ys ym < <(timed "$dir/python.log" env -u OPENBLAS_CORETYPE -u OPENBLAS_L2_SIZE "$python" \
        "$here/pcnm_arpack.py" "${pywhere[@]}" --limit "$limit" --count "$k" --out "$dir/arpack.txt")
      eigsh=$(awk '/^seconds/ { print $5 }' "$dir/python.log")
      blas=$(sed -n 's/^blas //p' "$dir/python.log")
      diff=$(awk 'NR == FNR { if (f) v[++m] = $2; if ($1 == "axis") f = 1; next } { w[++q] = $1 }
        END { top = v[1] < 0 ? -v[1] : v[1]; for (i = 1; i <= m && i <= q; i++) { e = v[i] - w[i]; if (e < 0) e = -e; if (e > d) d = e }
              printf "%.1e\n", d / top }' "$dir/report.txt" "$dir/arpack.txt")
      line="$line $ys $eigsh $ym $pairs $diff"
    else
      line="$line - - - $pairs -"
    fi
    echo "$line" >> "$work/$kind.runs"
    # shellcheck disable=SC2086
    printf '%-10s %-5s %-14s %9s %9s %10s %10s %9s %9s %10s\n' $line
  done
done
echo
[ "$python_runs" -gt 0 ] && echo "BLAS: $blas"
echo "medians (min-max) over the draws"
printf '%-10s %22s %22s %22s %9s %9s\n' kind "ortelix-pcnm s" "python s" "eigsh s" "py/pcnm" "eigsh/pcnm"
for kind in $kinds; do
  r="$work/$kind.runs"
  read -r pm p0 p1 < <(awk '{ print $4 }' "$r" | stats)
  read -r mm m0 m1 < <(awk '{ print $5 }' "$r" | stats)
  if [ "$python_runs" -gt 0 ]; then
    read -r ym y0 y1 < <(awk '{ print $6 }' "$r" | stats)
    read -r em e0 e1 < <(awk '{ print $7 }' "$r" | stats)
    read -r qm q0 q1 < <(awk '{ print $8 }' "$r" | stats)
    printf '%-10s %22s %22s %22s %9.1f %9.1f\n' "$kind" "$pm ($p0-$p1)" "$ym ($y0-$y1)" "$em ($e0-$e1)" \
      "$(echo "$ym / $pm" | bc -l)" "$(echo "$em / $pm" | bc -l)"
    printf '%-10s %22s %22s   peak MB\n' "" "$mm ($m0-$m1)" "$qm ($q0-$q1)"
  else
    printf '%-10s %22s   peak MB %s\n' "$kind" "$pm ($p0-$p1)" "$mm ($m0-$m1)"
  fi
done
echo "load after: $(uptime)"
