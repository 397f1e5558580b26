#!/usr/bin/env bash
# Makes docs/images/window-status-time.png: the window on an X server of its
# own (Xvfb), the Time column on, after the status request 10 04 04 (hex) sent
# by Enter in the data string box to the virtual printer started with
# --state paper-near-end on loopback; the screen is taken with ImageMagick's
# `import -window root` and cut to the window.
#
#   scripts/status-time-shot.sh [BUILD_DIR]
# BUILD_DIR: a built tree holding bin/sendrix and the virtual printer
# (default build/release).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=$(realpath "${1:-build/release}")
OUT=$PWD/docs/images/window-status-time.png
SENDRIX=$BUILD/bin/sendrix
SIM_BIN=$BUILD/tools/printer-sim/sendrix-printer-sim
source src/testsupport/EndToEndFixtures.sh "$SIM_BIN"
start_xvfb 1100x700 import convert
start_sim --state paper-near-end
mkdir -p "$XDG_CONFIG_HOME/sendrix"
cat > "$REG" <<REG
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVEL\\SENDRIX]
"String Mode"=dword:00000001
"Show Receive Time"=dword:00000001

[HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVEL\\SENDRIX\\Strings History]
"Nb String History"=dword:00000001
"Hist String #0"="10 04 04 "

[HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVEL\\SENDRIX\\Communication Parameters]
"Interface Type"=dword:00000002
"Ethernet IP Address"=dword:7f000001
"Ethernet Port"=dword:$(printf '%08x' "$PORT")
"Real Time Ethernet Port"=dword:$(printf '%08x' "$RT_PORT")
"USM Ethernet Port"=dword:$(printf '%08x' "$USM_PORT")
REG
QT_QPA_PLATFORM=xcb QT_STYLE_OVERRIDE=Fusion "$SENDRIX" > sendrix.out 2> sendrix.err &
OTHER_PIDS+=($!)
WID=$(timeout 30 xdotool search --sync --onlyvisible --name '^Sendrix V' | head -n 1)
[[ -n "$WID" ]] || { echo "no window" >&2; cat sendrix.err >&2; exit 1; }
xdotool windowmove --sync "$WID" 0 0
timeout 10 xdotool windowfocus --sync "$WID"
wait_connected "$PORT" || { echo "the window did not connect" >&2; exit 1; }
# Enter in the data string box (clicked, from the window's top left) sends it.
xdotool mousemove --sync 200 268 click 1
sleep 0.3
xdotool key --delay 30 Return
sleep 1.5
eval "$(xdotool getwindowgeometry --shell "$WID")"
import -window root screen.png
convert screen.png -crop "${WIDTH}x${HEIGHT}+0+0" +repage "$OUT"
echo "$OUT"
