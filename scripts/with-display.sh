#!/bin/sh
# Runs a command with an X display: the one already named by DISPLAY (the
# Windows test script starts one for its whole run, so every Wine process of
# the run talks to the same live server), otherwise a fresh Xvfb of its own.
if [ -n "${DISPLAY:-}" ]; then exec "$@"; fi
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
