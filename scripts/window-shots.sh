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
WORK=$(mktemp -d)
SIM_PID=""
cleanup() {
  if [[ -n "$SIM_PID" ]] && kill -0 "$SIM_PID" 2>/dev/null; then kill -KILL "$SIM_PID"; fi
  rm -rf "$WORK"
}
trap cleanup EXIT
mkdir -p "$IMAGES"
export QT_QPA_PLATFORM=offscreen LD_LIBRARY_PATH=$TEXTS${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}

# First run: empty settings home.
SENDRIX_HOME=$WORK/first/home XDG_CONFIG_HOME=$WORK/first/config \
  "$BIN/sendrix-window-demo" --first-shot "$IMAGES/window-first-run.png" 2>/dev/null

# Connected to the virtual printer.
export SENDRIX_HOME=$WORK/home XDG_CONFIG_HOME=$WORK/config
# The file list shows the receipt's path: a short one when it is free.
RECEIPTS=${TMPDIR:-/tmp}/sendrix-demo
if mkdir "$RECEIPTS" 2>/dev/null; then
  trap 'cleanup; rm -rf "$RECEIPTS"' EXIT
else
  RECEIPTS=$WORK
fi
RECEIPT=$RECEIPTS/receipt.prn
{
  printf '\x1b@SENDRIX DEMO RECEIPT\n'
  for i in $(seq 1 40); do printf 'Item %02d ..................... %3d.%02d\n' "$i" "$i" "$i"; done
  printf '\n\n\n\x1dV\x00'
} > "$RECEIPT"
"$SIM" --main-port 0 --rt-port 0 --usm-port 0 --exit-after-s 120 > "$WORK/sim.out" 2>/dev/null &
SIM_PID=$!
for _ in $(seq 1 100); do
  grep -q '^ready ' "$WORK/sim.out" && break
  sleep 0.1
done
READY=$(grep '^ready ' "$WORK/sim.out") || { echo "shots: the virtual printer did not start" >&2; exit 1; }
port() { sed -n "s/.* $1=\([0-9]*\).*/\1/p" <<< "$READY"; }
mkdir -p "$XDG_CONFIG_HOME/sendrix"
cat > "$XDG_CONFIG_HOME/sendrix/sendrix.reg" <<REG
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVEL\\SENDRIX]
"String Mode"=dword:00000001

[HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVEL\\SENDRIX\\Communication Parameters]
"Interface Type"=dword:00000002
"Ethernet IP Address"=dword:7f000001
"Ethernet Port"=dword:$(printf %08x "$(port main)")
"Real Time Ethernet Port"=dword:$(printf %08x "$(port rt)")
"USM Ethernet Port"=dword:$(printf %08x "$(port usm)")

[HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVEL\\SENDRIX\\Files History]
"Nb Files History"=dword:00000001
"Hist File #0"="$RECEIPT"

[HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVEL\\SENDRIX\\Strings History]
"Nb String History"=dword:00000001
"Hist String #0"="10 04 01"
REG
"$BIN/sendrix-window-demo" --shots "$IMAGES" 2>/dev/null
"$BIN/sendrix-window-demo" --icons packaging/icons 2>/dev/null
kill -TERM "$SIM_PID"
wait "$SIM_PID" || true
SIM_PID=""

SENDRIX_PICTURES_DIR=$IMAGES "$BUILD/src/panels/setup_eth_dev_tests" endToEndRenameAndReaddress \
  >/dev/null 2>&1
echo "$IMAGES/setup-devices.png"
