#!/usr/bin/env bash
# Sets up, builds and runs every test: the machine link's threaded tests under
# ThreadSanitizer first, then the whole suite (GUI tests under one virtual
# display when there is no display).
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

ctest_cmd=(ctest --preset "$preset" -j2 "$@")
if [ -z "${DISPLAY:-}" ]; then
  xvfb-run -a -s "-screen 0 1280x1024x24 +extension GLX +render -noreset" "${ctest_cmd[@]}"
else
  "${ctest_cmd[@]}"
fi
