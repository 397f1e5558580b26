#!/usr/bin/env bash
# Renders the pictures of docs/images/ on the offscreen platform:
#   window-first-run.png  the window as it first comes up, with no settings;
#   window-serial.png, window-usb.png, window-ethernet.png
#                         the window connected to the virtual printer over
#                         loopback TCP, a receipt in the file list, the reply
#                         to a status request in the receive buffer, and each
#                         interface's panel selected in turn;
#   setup-devices.png     the device setup dialog after a search (drawn by
#                         setup_eth_dev_tests);
# and the program's icon into packaging/icons/ (the installed PNGs).
#
#   scripts/window-shots.sh [BUILD_DIR]
# BUILD_DIR: a configured build tree with tests (default: a release build
# that this script sets up). Only loopback addresses are used.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build/release}
if [[ $# -eq 0 ]]; then
  scripts/setup.sh --build-dir "$BUILD" --release >/dev/null
fi
cmake --build "$BUILD" -j2 --target sendrix-window-demo sendrix-printer-sim setup_eth_dev_tests >/dev/null
IMAGES=$PWD/docs/images
BIN=$BUILD/bin
SIM=$BUILD/tools/printer-sim/sendrix-printer-sim
TEXTS=$PWD/$BUILD/src/texts/library
# The temporary home, the demo receipt and the virtual printer on loopback.
source scripts/demo-printer.sh
mkdir -p "$IMAGES"
export QT_QPA_PLATFORM=offscreen LD_LIBRARY_PATH=$TEXTS${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}

# First run: empty settings home.
SENDRIX_HOME=$WORK/first/home XDG_CONFIG_HOME=$WORK/first/config \
  "$BIN/sendrix-window-demo" --first-shot "$IMAGES/window-first-run.png" 2>/dev/null

# Connected to the virtual printer.
start_printer >/dev/null
write_settings
"$BIN/sendrix-window-demo" --shots "$IMAGES" 2>/dev/null
"$BIN/sendrix-window-demo" --icons packaging/icons 2>/dev/null
stop_printer >/dev/null

SENDRIX_PICTURES_DIR=$IMAGES "$BUILD/src/panels/setup_eth_dev_tests" endToEndRenameAndReaddress \
  >/dev/null 2>&1
echo "$IMAGES/setup-devices.png"
