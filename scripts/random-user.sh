#!/usr/bin/env bash
# One round of the random user, built by scripts/build-random-user.sh:
#   scripts/random-user.sh SEED SECONDS [SHRINK_SECONDS]
# A failure prints the seed and the shortest sequence found that still fails.
set -euo pipefail
cd "$(dirname "$0")/.."
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
export QT_QPA_PLATFORM=offscreen
export XDG_DATA_HOME=$PWD/build/asan/xdg-data XDG_CONFIG_HOME=$PWD/build/asan/xdg-config
exec build/asan/tests/gui/gui_random_user --seed "$1" --seconds "$2" --shrink-seconds "${3:-600}"
