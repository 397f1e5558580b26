#!/usr/bin/env bash
# Sets up Sendrix (Debian packages, release build) and runs its main job in
# the window: the virtual printer on loopback TCP, the window connected to it
# on a temporary settings home with a demo receipt in its file list. Without
# a display the same job runs on the offscreen platform and the script prints
# what the window showed and checks the bytes at the printer's end.
# (scripts/demo.sh is the same job as a script runs it, with headless sendrix.)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --build-dir build/release --release --no-tests
scripts/window-demo.sh build/release/bin build/release/tools/printer-sim/sendrix-printer-sim "$@"
