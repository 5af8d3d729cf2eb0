#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs each one for a bounded time.
#
#   tests/fuzz/run.sh [seconds per target] [target ...]
#
# Targets: list_read, coordinate_file, format (all by default); 60 seconds
# each by default. FUZZ_BUILD names the build folder (default build-fuzz);
# the growing corpus lives there, seeded from tests/fuzz/corpus/<target>.
# A crash, hang or broken invariant leaves its input in
# $FUZZ_BUILD/findings/<target>/ and makes the script fail: copy the input
# into tests/fuzz/regressions/<target>/ so that the normal suite replays it.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
seconds="${1:-60}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(list_read coordinate_file format)
build="${FUZZ_BUILD:-build-fuzz}"
case "$build" in /*) ;; *) build="$root/$build" ;; esac
cxx="${CXX_FUZZ:-clang++-14}"
command -v "$cxx" >/dev/null || cxx=clang++

flags=(-std=c++20 -O1 -g -ffp-contract=off -pthread
       -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
       -I"$root/src" -I"$root/tests")
sources=("$root"/src/textio/*.cc "$here"/check.cc "$here"/compare_reads.cc "$here"/reference_reader.cc
         "$here"/list_read_target.cc "$here"/coordinate_file_target.cc "$here"/format_target.cc)

status=0
for t in "${targets[@]}"; do
  mkdir -p "$build/bin" "$build/corpus/$t" "$build/findings/$t"
  echo "== building $t"
  "$cxx" "${flags[@]}" -DORTELIX_FUZZ_TARGET="fuzz_$t" "${sources[@]}" "$here/fuzz_main.cc" -o "$build/bin/$t"
  echo "== running $t for $seconds s"
  seeds=()
  [ -d "$here/corpus/$t" ] && seeds+=("$here/corpus/$t")
  [ -d "$here/regressions/$t" ] && seeds+=("$here/regressions/$t")
  if ! ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}" "$build/bin/$t" \
      -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 -print_final_stats=1 \
      -artifact_prefix="$build/findings/$t/" "$build/corpus/$t" "${seeds[@]}" 2>"$build/$t.log"; then
    echo "!! $t found a fault; see $build/$t.log and $build/findings/$t/"
    tail -n 30 "$build/$t.log"
    status=1
  else
    grep -E '^stat::(number_of_executed_units|peak_rss_mb)|^#[0-9]+ *DONE' "$build/$t.log" || true
  fi
done
exit $status
