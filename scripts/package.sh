#!/usr/bin/env bash
# Builds the Debian package of Tessary and checks it:
#   scripts/package.sh [BUILD_DIR]
# BUILD_DIR (default build/package) is configured as a release build when it
# has not been configured yet; an existing build folder is used as it is.
# The package is written to BUILD_DIR/tessary_VERSION_ARCH.deb; install it
# with `sudo apt install ./BUILD_DIR/tessary_*.deb`.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/package}

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTESSARY_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j2
rm -f "$build"/tessary_*.deb
(cd "$build" && cpack -G DEB) >"$build/cpack.log" 2>&1 || { cat "$build/cpack.log"; exit 1; }
shopt -s nullglob
debs=("$build"/tessary_*.deb)
[ ${#debs[@]} -eq 1 ] || { echo "cpack made no package (see $build/cpack.log)" >&2; exit 1; }
scripts/check-package.sh "${debs[0]}"
echo "package: ${debs[0]}"
