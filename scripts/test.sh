#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
#   0. every C and C++ source formatted as .clang-format says;
#   1. the release build with all suites (model, command line, GUI offscreen)
#      and the benchmarks compiled, warnings as errors;
#   2. the Debian package built from the release build and checked: its
#      dependencies, its files, the unpacked programs, the desktop, MIME,
#      AppStream and man page files, and lintian;
#   3. the core and the command line under AddressSanitizer and
#      UndefinedBehaviorSanitizer, and in the same instrumented tree a random
#      user on the main window for 60 s, with a new seed each run (a failure
#      is shrunk for at most 4 minutes);
#   4. the quick find's worker thread with the library's thread under
#      ThreadSanitizer (the core's tests that drive them together), configured
#      without Qt (which also proves that the core needs no Qt);
#   5. the fuzz targets of the library reader, the JSON reader and the
#      document text readers, each over its regression inputs, then from its
#      seed corpus (60, 30 and 30 s), also built without Qt.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

jobs=2
start=$(date +%s)
# heading TEXT: a step's heading with the minutes the run has taken so far.
heading() { echo "== $1 ($(( ($(date +%s) - start) / 60 )) min)"; }
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

heading "formatting"
if scripts/check-format.sh; then passed=$((passed + 1)); else failed=$((failed + 1)); status=1; fi

heading "release build and tests"
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DTESSARY_WERROR=ON \
  -DTESSARY_BUILD_TESTS=ON -DTESSARY_BUILD_BENCHMARKS=ON >/dev/null
cmake --build build/release -j"$jobs"
(cd build/release && ctest -j"$jobs" --output-on-failure --timeout 300) 2>&1 | tee build/release-ctest.log || status=1
count_ctest build/release-ctest.log

heading "Debian package"
if scripts/package.sh build/release; then passed=$((passed + 1)); else failed=$((failed + 1)); status=1; fi

heading "the core, the command line and a random user of the main window, under AddressSanitizer and UndefinedBehaviorSanitizer"
# One instrumented tree: the core's and the command line's suites, then the
# random user for 60 s with a seed that changes per run (a failure is shrunk
# for at most 4 minutes). The GUI's own suites run in the release build.
JOBS=$jobs scripts/build-random-user.sh tessary_model_tests tessary_cli_tests tessary-cli
(cd build/asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest -j"$jobs" --output-on-failure --timeout 600 -E '^gui_') 2>&1 | tee build/asan-ctest.log || status=1
count_ctest build/asan-ctest.log
seed=$(od -An -N4 -tu4 /dev/urandom | tr -d ' ')
echo "random user: seed $seed"
if scripts/random-user.sh "$seed" 60 240 >build/random-user.log 2>&1; then
  passed=$((passed + 1))
  echo "random user: $(grep -E '^actions' build/random-user.log)"
else
  cat build/random-user.log; failed=$((failed + 1)); status=1
fi

heading "the quick find's threads under ThreadSanitizer"
cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" -DTESSARY_SANITIZE_THREAD=ON \
  -DTESSARY_WERROR=ON -DTESSARY_BUILD_GUI=OFF -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=ON >/dev/null
cmake --build build/tsan -j"$jobs" --target tessary_model_tests
if TSAN_OPTIONS=halt_on_error=1 build/tsan/tests/tessary_model_tests --gtest_filter='FinderTest.*' \
  >build/tsan-tests.log 2>&1; then
  passed=$((passed + 1))
else
  tail -60 build/tsan-tests.log; failed=$((failed + 1)); status=1
fi

heading "fuzzing the library reader, the JSON reader and the document text readers"
CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSARY_BUILD_FUZZERS=ON \
  -DTESSARY_BUILD_TESTS=OFF -DTESSARY_BUILD_GUI=OFF -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=ON >/dev/null
cmake --build build/fuzz -j"$jobs" --target fuzz_archive fuzz_json fuzz_document_text
# fuzz NAME SECONDS [MAX_LEN [TIMEOUT]]: the regression inputs first, then
# fuzzing from the seeds; inputs up to MAX_LEN bytes (64 KiB), each given at
# most TIMEOUT seconds (libFuzzer's 1200 by default).
fuzz() {
  local name=$1 seconds=$2 maxlen=${3:-65536} timeout=${4:-1200} fuzzer=build/fuzz/fuzz/fuzz_$1 inputs
  inputs=$(find "fuzz/regressions/$name" -type f 2>/dev/null | sort || true)
  if [ -n "$inputs" ]; then
    # shellcheck disable=SC2086
    if $fuzzer -artifact_prefix="build/fuzz-$name-" -timeout="$timeout" $inputs >"build/fuzz-$name-regressions.log" 2>&1; then
      passed=$((passed + 1))
    else
      tail -60 "build/fuzz-$name-regressions.log"; failed=$((failed + 1)); status=1
    fi
  fi
  rm -rf "build/fuzz-$name-corpus" && mkdir -p "build/fuzz-$name-corpus"
  if $fuzzer -artifact_prefix="build/fuzz-$name-" -max_total_time="$seconds" -max_len="$maxlen" -timeout="$timeout" -print_final_stats=1 \
    "build/fuzz-$name-corpus" "fuzz/corpus/$name" >"build/fuzz-$name.log" 2>&1; then
    passed=$((passed + 1))
    echo "fuzz_$name: $(grep -E '^Done' "build/fuzz-$name.log")"
  else
    tail -60 "build/fuzz-$name.log"; failed=$((failed + 1)); status=1
  fi
}
fuzz archive 60
fuzz json 30
fuzz document_text 30 1048576 10

echo "tests: $passed passed, $failed failed ($(( ($(date +%s) - start) / 60 )) min)"
exit $status
