#!/usr/bin/env bash
# Builds the random user of the main window under AddressSanitizer and
# UndefinedBehaviorSanitizer in build/asan: only the program's libraries
# and the driver (Qt itself comes uninstrumented from the distribution),
# and the further targets named on the command line:
#   scripts/build-random-user.sh [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" -DTESSARY_SANITIZE=ON \
  -DTESSARY_WERROR=ON -DTESSARY_BUILD_TESTS=ON "${launcher[@]}" >/dev/null
cmake --build build/asan -j"${JOBS:-2}" --target gui_random_user "$@"
