#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the suite as released, the
# suite under AddressSanitizer and UndefinedBehaviorSanitizer and under
# ThreadSanitizer, a short run of each fuzz target on its saved inputs, one quick
# pass of the benchmarks, the Debian package (built, checked with lintian and the
# validators, unpacked and started from its menu entry), and the Windows build's suite
# under Wine. QUORVANE_WINDOWS=0 leaves out the Windows toolchain and suite.
set -euo pipefail
cd "$(dirname "$0")/.."

fuzz_seconds=${QUORVANE_FUZZ_SECONDS:-30}
windows=${QUORVANE_WINDOWS:-1}
jobs=$(nproc)

step() { printf '\n==== %s\n' "$*"; }

# GoogleTest's reasons for the tests it skipped, from CTest's log of the last run.
skip_reasons() {
  awk '/: Skipped$/ { getline reason; getline name; sub(/ \(.*/, "", name); sub(/.*\] /, "", name);
                      print "skipped " name ": " reason }' "$1/Testing/Temporary/LastTest.log"
}

step "Installing missing packages"
if [ "$windows" = 1 ]; then
  scripts/install-deps.sh linux windows
else
  scripts/install-deps.sh linux
fi

step "Release build and test suite"
scripts/build.sh release
ctest --test-dir build --output-on-failure -j "$jobs"

step "AddressSanitizer + UndefinedBehaviorSanitizer"
scripts/build.sh asan
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"

step "ThreadSanitizer"
scripts/build.sh tsan
TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/tsan.supp" ctest --test-dir build-tsan --output-on-failure -j "$jobs"

if [ "$windows" = 1 ]; then
  step "Windows build, its suite under Wine"
  scripts/build.sh windows
  scripts/wine-env.sh --server build-windows ctest --test-dir build-windows --output-on-failure -j "$jobs"
  skip_reasons build-windows
fi

step "Fuzz targets, ${fuzz_seconds} s each"
scripts/build.sh fuzz
for target in build-fuzz/tests/fuzz/*_fuzz; do
  name=$(basename "$target" _fuzz)
  corpus=$(mktemp -d)
  cp -r "tests/fuzz/corpus/$name/." "$corpus/" 2>/dev/null || true
  dict=()
  [ -f "tests/fuzz/$name.dict" ] && dict=(-dict="tests/fuzz/$name.dict")
  echo "-- $name"
  "$target" -max_total_time="$fuzz_seconds" -print_final_stats=1 "${dict[@]}" \
    -artifact_prefix="$corpus/" "$corpus" 2>&1 | grep -E '^(stat::number_of_executed_units|==|SUMMARY)' || true
  if ls "$corpus"/crash-* "$corpus"/leak-* "$corpus"/timeout-* >/dev/null 2>&1; then
    echo "fuzz target $name found a failing input:" >&2
    ls "$corpus"/crash-* "$corpus"/leak-* "$corpus"/timeout-* 2>/dev/null >&2
    exit 1
  fi
  rm -rf "$corpus"
done

step "Benchmarks, one quick pass"
build/bench/text_bench --benchmark_min_time=0.01 >/dev/null
build/bench/http_bench --benchmark_filter='/0/|Probe' >/dev/null

step "Install rules, menu entry, metainfo and the Debian package"
deb=$(scripts/package-deb.sh)
scripts/check-package.sh "$deb"

step "All tests passed"
