#!/usr/bin/env bash
# Sets up, builds and runs every test.
# Usage: scripts/test.sh [PRESET] [extra ctest arguments]
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-release}"
shift || true
scripts/setup.sh "$preset"
ctest --preset "$preset" -j2 "$@"
