#!/usr/bin/env bash
# Sets up, builds and starts the desktop program Morvadin-X.
# Usage: scripts/run.sh [--port DEVICE] [FILE.stl ...]   (--help: its options)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh release >&2
for arg in "$@"; do
  case "$arg" in -h|--help) exec build/release/bin/Morvadin-X --help ;; esac
done
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run: no display; start it from a desktop session (or under xvfb-run -a)" >&2
  exit 1
fi
exec build/release/bin/Morvadin-X "$@"
