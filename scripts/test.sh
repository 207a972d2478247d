#!/usr/bin/env bash
# Sets up, builds and runs every test: the machine link's threaded tests under
# ThreadSanitizer first, then the whole suite (each GUI test on a private
# virtual display, see tests/support/with-display.sh); then, for the release
# preset, the unit tests under AddressSanitizer and UndefinedBehaviorSanitizer
# (the asan preset) and a short run of every fuzz target (scripts/fuzz.sh).
# Usage: scripts/test.sh [PRESET] [extra ctest arguments]
#   MORVADIN_SKIP_TSAN=1 skips the ThreadSanitizer run, MORVADIN_SKIP_ASAN=1
#   the AddressSanitizer run, MORVADIN_SKIP_FUZZ=1 the fuzz run;
#   MORVADIN_FUZZ_SECONDS sets the seconds per fuzz target (default 8).
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-release}"
shift || true
scripts/setup.sh "$preset"

if [ -z "${MORVADIN_SKIP_TSAN:-}" ] && [ "$preset" = release ]; then
  scripts/test-tsan.sh build/tsan
fi

ctest --preset "$preset" -j"$(nproc)" "$@"

if [ -z "${MORVADIN_SKIP_ASAN:-}" ] && [ "$preset" = release ]; then
  # Only the executables of the unit tests that need no wxWidgets (the GUI
  # folders' libraries are most of an instrumented build); the whole suite
  # runs under the asan preset by hand:
  #   cmake --preset asan && cmake --build --preset asan && ctest --preset asan
  started=$SECONDS
  mapfile -t units < <(ls tests/*/CMakeLists.txt | grep -v -e '^tests/ui/' -e '^tests/scene_view/' \
                         -e '^tests/view_window/' | xargs sed -n \
                         's/^[[:space:]]*morvadin_add_test(\([A-Za-z0-9_]*\)[[:space:]]\+unit\b.*/\1/p')
  cmake --preset asan >/dev/null
  cmake --build --preset asan --target "${units[@]}"
  ctest --preset asan -L unit -j"$(nproc)"
  echo "test.sh: AddressSanitizer unit run took $((SECONDS - started)) s"
fi

if [ -z "${MORVADIN_SKIP_FUZZ:-}" ] && [ "$preset" = release ]; then
  started=$SECONDS
  scripts/fuzz.sh "${MORVADIN_FUZZ_SECONDS:-8}"
  echo "test.sh: fuzz run took $((SECONDS - started)) s"
fi
