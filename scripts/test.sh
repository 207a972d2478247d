#!/usr/bin/env bash
# Sets up, builds and runs every test: the machine link's threaded tests under
# ThreadSanitizer first, then the whole suite (each GUI test on a private
# virtual display, see tests/support/with-display.sh).
# Usage: scripts/test.sh [PRESET] [extra ctest arguments]
#   MORVADIN_SKIP_TSAN=1 skips the ThreadSanitizer run.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-release}"
shift || true
scripts/setup.sh "$preset"

if [ -z "${MORVADIN_SKIP_TSAN:-}" ] && [ "$preset" = release ]; then
  scripts/test-tsan.sh build/tsan
fi

ctest --preset "$preset" -j2 "$@"
