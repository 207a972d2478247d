#!/usr/bin/env bash
# Runs a test program with a display: the current one when DISPLAY is set,
# else a private Xvfb server for the run.
if [ -n "${DISPLAY:-}" ]; then
  exec "$@"
fi
exec xvfb-run -a -s "-screen 0 1280x1024x24 +extension GLX +render -noreset" "$@"
