#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
#   1. the release build with all suites (model, command line, GUI offscreen)
#      and the benchmarks compiled, warnings as errors;
#   2. the core and the command line under AddressSanitizer and
#      UndefinedBehaviorSanitizer, configured without Qt (which also proves
#      that the core needs no Qt);
#   3. the archive fuzz target over its regression inputs, then for 60
#      seconds from its seed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

jobs=2
passed=0
failed=0
count_ctest() { # adds the counts of a ctest log to the totals
  local line total bad
  line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -1 || true)
  [ -n "$line" ] || return 0
  total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
  bad=$(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"$line")
  passed=$((passed + total - bad))
  failed=$((failed + bad))
}
status=0

echo "== release build and tests"
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DTESSARY_WERROR=ON \
  -DTESSARY_BUILD_TESTS=ON -DTESSARY_BUILD_BENCHMARKS=ON >/dev/null
cmake --build build/release -j"$jobs"
(cd build/release && ctest -j"$jobs" --output-on-failure --timeout 300) 2>&1 | tee build/release-ctest.log || status=1
count_ctest build/release-ctest.log

echo "== core without Qt, under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" -DTESSARY_SANITIZE=ON \
  -DTESSARY_WERROR=ON -DTESSARY_BUILD_GUI=OFF -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=ON >/dev/null
cmake --build build/asan -j"$jobs"
(cd build/asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest -j"$jobs" --output-on-failure --timeout 600) 2>&1 | tee build/asan-ctest.log || status=1
count_ctest build/asan-ctest.log

echo "== fuzzing the library reader"
CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSARY_BUILD_FUZZERS=ON \
  -DTESSARY_BUILD_TESTS=OFF -DTESSARY_BUILD_GUI=OFF -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=ON >/dev/null
cmake --build build/fuzz -j"$jobs" --target fuzz_archive
fuzzer=build/fuzz/fuzz/fuzz_archive
regressions=$(find fuzz/regressions -type f ! -name '*.md' | sort)
if [ -n "$regressions" ]; then
  if $fuzzer -artifact_prefix=build/fuzz- $regressions >build/fuzz-regressions.log 2>&1; then passed=$((passed + 1)); else
    cat build/fuzz-regressions.log; failed=$((failed + 1)); status=1; fi
fi
rm -rf build/fuzz-corpus && mkdir -p build/fuzz-corpus
if $fuzzer -artifact_prefix=build/fuzz- -max_total_time=60 -max_len=65536 -print_final_stats=1 build/fuzz-corpus fuzz/corpus/archive \
  >build/fuzz.log 2>&1; then
  passed=$((passed + 1))
  grep -E 'stat::number_of_executed_units|Done' build/fuzz.log | head -2
else
  tail -60 build/fuzz.log
  failed=$((failed + 1))
  status=1
fi

echo "tests: $passed passed, $failed failed"
exit $status
