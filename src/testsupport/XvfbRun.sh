#!/usr/bin/env bash
# Runs a test program on an X server of its own (Xvfb on the first free
# display), with Qt's X11 platform, and ends the server afterwards.
#
#   XvfbRun.sh WIDTHxHEIGHT PROGRAM [ARGS...]
set -uo pipefail
SIZE=$1
shift
command -v Xvfb > /dev/null || { echo "Xvfb is missing: run scripts/setup.sh" >&2; exit 1; }
WORK=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 "${SIZE}x24" -nolisten tcp 3> "$WORK/display" > "$WORK/xvfb.log" 2>&1 &
XVFB=$!
trap 'kill "$XVFB" 2> /dev/null; wait "$XVFB" 2> /dev/null; rm -rf "$WORK"' EXIT
for _ in $(seq 1 200); do [[ -s $WORK/display ]] && break; sleep 0.05; done
[[ -s $WORK/display ]] || { echo "Xvfb did not start" >&2; cat "$WORK/xvfb.log" >&2; exit 1; }
DISPLAY=:$(head -n 1 "$WORK/display")
export DISPLAY QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY
"$@"
