#!/usr/bin/env bash
# Sets up, builds and starts the desktop program Morvadin-X.
# Usage: scripts/run.sh [--port DEVICE] [FILE.stl ...]   (--help: its options)
set -euo pipefail
# Stays in the caller's folder, so that model files named relative to it are found.
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh" release >&2
for arg in "$@"; do
  case "$arg" in -h|--help) exec "$root/build/release/bin/Morvadin-X" --help ;; esac
done
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run: no display; start it from a desktop session (or under xvfb-run -a)" >&2
  exit 1
fi
exec "$root/build/release/bin/Morvadin-X" "$@"
