#!/usr/bin/env bash
# Installs what is missing, builds Tessary and starts it. Arguments are passed
# to the program (for example a library file to open).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j2 --target tessary tessary-cli
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: starting under a virtual X server (xvfb-run)." >&2
  echo "Set QT_QPA_PLATFORM=offscreen to run without any display, or use build/release/src/cli/tessary-cli." >&2
  exec xvfb-run -a build/release/src/shell/tessary "$@"
fi
exec build/release/src/shell/tessary "$@"
