#!/usr/bin/env bash
# Sets up, builds and starts the main job: for now the G-code to X3G converter.
# Usage: scripts/run.sh INPUT.gcode OUTPUT.x3g   (no arguments: its help)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh release >&2
if [ "$#" -eq 0 ]; then set -- --help; fi
exec build/release/bin/gcode2x3g "$@"
