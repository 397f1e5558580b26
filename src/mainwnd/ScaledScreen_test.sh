#!/usr/bin/env bash
# The program at QT_SCALE_FACTOR=2 on a 1920x1080 X server (Xvfb): the
# window opens inside the screen, its bottom row of buttons included.
#
#   ScaledScreen_test.sh SENDRIX PRINTER_SIM
# SENDRIX_XVFB_SHOT=FILE.png keeps a picture of the screen.
set -uo pipefail
SENDRIX=$1
source "$(dirname "$0")/../testsupport/EndToEndFixtures.sh" "$2"
start_xvfb 1920x1080

start_sim
mkdir -p "$XDG_CONFIG_HOME/sendrix"
cat > "$REG" <<REG
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVEL\\SENDRIX\\Communication Parameters]
"Interface Type"=dword:00000002
"Ethernet IP Address"=dword:7f000001
"Ethernet Port"=dword:$(printf '%08x' "$PORT")
"Real Time Ethernet Port"=dword:$(printf '%08x' "$RT_PORT")
"USM Ethernet Port"=dword:$(printf '%08x' "$USM_PORT")
REG

QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=2 "$SENDRIX" > sendrix.out 2> sendrix.err &
OTHER_PIDS+=($!)
WID=$(timeout 30 xdotool search --sync --onlyvisible --name '^Sendrix V' | head -n 1)
[[ -n "$WID" ]] || { echo "no window" >&2; cat sendrix.err >&2; exit 1; }
sleep 1
eval "$(xdotool getwindowgeometry --shell "$WID")"
echo "window ${WIDTH}x${HEIGHT} at ${X},${Y}"
if ((X < 0 || Y < 0 || X + WIDTH > 1920 || Y + HEIGHT > 1080)); then
  fail "the window ${WIDTH}x${HEIGHT} at ${X},${Y} leaves the 1920x1080 screen"
else
  echo "ok: inside the screen"
fi
[[ -n "${SENDRIX_XVFB_SHOT:-}" ]] && import -window root "$SENDRIX_XVFB_SHOT"
stop_sim
finish
