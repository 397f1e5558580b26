#!/usr/bin/env bash
# Sendrix's main job in the window, against the virtual printer over loopback
# TCP, on a temporary settings home that names the printer and holds a demo
# receipt in the file list and a status request in the string box.
#
#   scripts/window-demo.sh BIN SIM [--offscreen]
#     BIN: the folder holding sendrix and sendrix-window-demo; SIM: the path
#     of sendrix-printer-sim.
# With a display (and without --offscreen) the window opens for the operator:
# click Start, then close the window. Without one, the same job runs on the
# offscreen platform: the receipt three times 100 ms apart, then the status
# request, printing what the window showed; exit status 0 when the printer
# received exactly that. (scripts/demo.sh is the same job as a script runs
# it, with headless sendrix.)
set -euo pipefail
BIN=$1
SIM=$2
OFFSCREEN=0
[[ "${3:-}" == "--offscreen" || ( -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ) ]] && OFFSCREEN=1
source "$(dirname "$0")/demo-printer.sh"
start_printer
write_settings

STATUS=0
if [[ $OFFSCREEN == 1 ]]; then
  echo "== no display: the window runs offscreen"
  QT_QPA_PLATFORM=offscreen "$BIN/sendrix-window-demo" --job --repeat 3 --delay 100 \
    --hex "$STATUS_REQUEST" 2> "$WORK/window.err" || STATUS=1
else
  echo "== the window is open: press Start to send $RECEIPT, then close the window"
  "$BIN/sendrix"
fi
RX=$SENDRIX_HOME/Output/RxData.bin
[[ -s "$RX" ]] && echo "received data file: $(xxd -p "$RX" | head -c 64)"

stop_printer
if [[ $OFFSCREEN == 1 ]]; then
  check_printer_got "$RECEIPT" "$RECEIPT" "$RECEIPT" "$WORK/status-request.bin" || STATUS=1
  if [[ $STATUS != 0 ]]; then
    cat "$WORK/window.err" >&2
    exit 1
  fi
fi
