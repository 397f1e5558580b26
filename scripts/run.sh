#!/usr/bin/env bash
# Sets up Sendrix (Debian packages, release build) and runs its main job:
# a file and a data string sent to the virtual printer over loopback TCP by
# the command-line runner, with the printer's replies shown and the bytes
# checked at the printer's end.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --build-dir build/release --release --no-tests
scripts/demo.sh build/release/bin/sendrix-cli build/release/tools/printer-sim/sendrix-printer-sim
