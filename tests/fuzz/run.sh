#!/usr/bin/env bash
# Builds the fuzz targets (list_read, coordinate_file, format, sites_file,
# variable_file, command_line) with libFuzzer
# and the sanitizers, and runs each for a bounded time:
#   tests/fuzz/run.sh [seconds per target, 60] [target ...]
# A finding is left in $FUZZ_BUILD/findings/<target>/ (default build-fuzz)
# and fails the script: copy it into regressions/<target>/ for the suite.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
seconds="${1:-60}"
shift || true
targets=("${@:-list_read coordinate_file format sites_file variable_file command_line}")
build="${FUZZ_BUILD:-build-fuzz}"
[[ "$build" = /* ]] || build="$root/$build"
cxx="${CXX_FUZZ:-clang++-14}"
command -v "$cxx" >/dev/null || cxx=clang++
status=0
for t in ${targets[*]}; do
  mkdir -p "$build/bin" "$build/corpus/$t" "$build/findings/$t"
  "$cxx" -std=c++20 -O1 -g -ffp-contract=off -pthread -fsanitize=fuzzer,address,undefined \
    -fno-sanitize-recover=undefined -I"$root/src" -I"$root/tests" -DORTELIX_FUZZ_TARGET="fuzz_$t" \
    "$root"/src/textio/*.cc "$root"/src/sites/*.cc "$root"/src/output/*.cc "$root"/src/cli/command_line.cc \
    "$root"/src/cli/commands.cc "$here"/read_targets.cc "$here"/format_target.cc "$here"/tool_targets.cc \
    "$here"/fuzz_main.cc -o "$build/bin/$t"
  if ! ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}" "$build/bin/$t" -max_total_time="$seconds" -timeout=10 \
      -rss_limit_mb=2048 -max_len=4096 -print_final_stats=1 -artifact_prefix="$build/findings/$t/" \
      "$build/corpus/$t" "$here/corpus/$t" "$here/regressions/$t" 2>"$build/$t.log"; then
    echo "!! $t found a fault; see $build/$t.log and $build/findings/$t/"
    tail -n 30 "$build/$t.log"
    status=1
  else
    grep -E '^stat::number_of_executed_units|^#[0-9]+ *DONE' "$build/$t.log" || true
  fi
done
exit $status
