#!/usr/bin/env bash
# Plays the random user on the main window for MINUTES (default 60), under
# AddressSanitizer and UndefinedBehaviorSanitizer, in rounds of five minutes
# with a new seed each; every failure is printed with its seed and its
# shrunk sequence of actions. Exits non-zero when any round failed.
#   scripts/soak.sh [MINUTES]
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=${1:-60}
scripts/build-random-user.sh
end=$(($(date +%s) + minutes * 60))
rounds=0
failures=0
actions=0
while [ "$(date +%s)" -lt "$end" ]; do
  left=$((end - $(date +%s)))
  seconds=$((left < 300 ? left : 300))
  [ "$seconds" -ge 5 ] || break
  seed=$(od -An -N4 -tu4 /dev/urandom | tr -d ' ')
  log=build/soak-$seed.log
  rounds=$((rounds + 1))
  if scripts/random-user.sh "$seed" "$seconds" >"$log" 2>&1; then
    actions=$((actions + $(sed -n 's/^actions: //p' "$log" | tail -1)))
  else
    failures=$((failures + 1))
    cat "$log"
  fi
done
echo "soak: $rounds rounds, $actions actions in passing rounds, $failures failed"
[ "$failures" -eq 0 ]
