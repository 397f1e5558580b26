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
# received exactly that.
set -euo pipefail
BIN=$1
SIM=$2
OFFSCREEN=0
[[ "${3:-}" == "--offscreen" || ( -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ) ]] && OFFSCREEN=1
WORK=$(mktemp -d)
SIM_PID=""
cleanup() {
  if [[ -n "$SIM_PID" ]] && kill -0 "$SIM_PID" 2>/dev/null; then kill -KILL "$SIM_PID"; fi
  rm -rf "$WORK"
}
trap cleanup EXIT
export SENDRIX_HOME=$WORK/home XDG_CONFIG_HOME=$WORK/config

RECEIPT=$WORK/receipt.prn
{
  printf '\x1b@'
  printf 'SENDRIX DEMO RECEIPT\n'
  for i in $(seq 1 40); do printf 'Item %02d ..................... %3d.%02d\n' "$i" "$i" "$((i * 7 % 100))"; done
  printf '\n\n\n\x1dV\x00'
} > "$RECEIPT"

"$SIM" --main-port 0 --rt-port 0 --usm-port 0 --usm-every-ms 300 --exit-after-s 3600 \
  > "$WORK/sim.out" 2> "$WORK/sim.err" &
SIM_PID=$!
for _ in $(seq 1 100); do
  grep -q '^ready ' "$WORK/sim.out" && break
  sleep 0.1
done
READY=$(grep '^ready ' "$WORK/sim.out") || { echo "demo: the virtual printer did not start" >&2; exit 1; }
port() { sed -n "s/.* $1=\([0-9]*\).*/\1/p" <<< "$READY"; }
echo "virtual printer: $READY"

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

STATUS=0
if [[ $OFFSCREEN == 1 ]]; then
  echo "== no display: the window runs offscreen"
  QT_QPA_PLATFORM=offscreen "$BIN/sendrix-window-demo" --job --repeat 3 --delay 100 \
    --hex "10 04 01" 2> "$WORK/window.err" || STATUS=1
else
  echo "== the window is open: press Start to send $RECEIPT, then close the window"
  "$BIN/sendrix"
fi
RX=$SENDRIX_HOME/Output/RxData.bin
[[ -s "$RX" ]] && echo "received data file: $(xxd -p "$RX" | head -c 64)"

kill -TERM "$SIM_PID"
for _ in $(seq 1 100); do kill -0 "$SIM_PID" 2>/dev/null || break; sleep 0.1; done
wait "$SIM_PID" || true
SIM_PID=""
SUMMARY=$(grep '^summary ' "$WORK/sim.out")
echo "virtual printer: $SUMMARY"
if [[ $OFFSCREEN == 1 ]]; then
  EXPECTED=$({ cat "$RECEIPT" "$RECEIPT" "$RECEIPT"; printf '\x10\x04\x01'; } | sha256sum | cut -d' ' -f1)
  if [[ $STATUS == 0 && "$SUMMARY" == *"sha256=$EXPECTED"* ]]; then
    echo "byte-exact: yes"
  else
    echo "byte-exact: NO (expected sha256=$EXPECTED)" >&2
    cat "$WORK/window.err" >&2
    exit 1
  fi
fi
