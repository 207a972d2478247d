#!/usr/bin/env bash
# Runs a test program on a private Xvfb server of its own, so that tests
# running side by side never click into each other's windows (nor into the
# developer's desktop). MORVADIN_USE_DISPLAY=1 uses the current display instead.
if [ -n "${DISPLAY:-}" ] && [ "${MORVADIN_USE_DISPLAY:-}" = 1 ]; then
  exec "$@"
fi
unset DISPLAY
exec xvfb-run -a -s "-screen 0 1280x1024x24 +extension GLX +render -noreset" "$@"
