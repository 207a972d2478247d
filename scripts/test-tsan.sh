#!/usr/bin/env bash
# Builds the threaded code's tests (the machine link, the workflows, the file
# services' child processes, the drawing's two-thread facet test) with
# ThreadSanitizer (the tsan preset) and runs them; any data race fails the
# run. Expects the packages of scripts/packages.txt (scripts/test.sh installs
# them).
# Usage: scripts/test-tsan.sh [BUILD_DIR]   (default: build/tsan)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/tsan}"
targets=(s3g_tests gcode_tests machine_link_serial_tests machine_link_sim_tests s3g_print_tests file_io_tests
         workflow_tests workflow_sim_tests model_store_drawing_tests)

cmake --preset tsan -B "$build" >/dev/null
cmake --build "$build" --target "${targets[@]}"

export MORVADIN_BIN="$PWD/$build/bin"
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
status=0
for t in "${targets[@]}"; do
  echo "== $t (ThreadSanitizer)"
  if ! "$build/bin/$t" --gtest_brief=1; then
    status=1
  fi
done
exit "$status"
