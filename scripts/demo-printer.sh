# shellcheck shell=bash
# Sourced by the demo scripts (scripts/demo.sh, scripts/window-demo.sh) and
# by scripts/window-shots.sh: the part they share. Expects SIM (the path of
# sendrix-printer-sim) to be set.
#
# On sourcing: a temporary folder WORK (removed at exit, with the printer
# ended), SENDRIX_HOME and XDG_CONFIG_HOME inside it, and the demo receipt
# RECEIPT. Then:
#   start_printer     starts the virtual printer on loopback, sets READY;
#                     port main|rt|usm gives its ports
#   write_settings    the settings file: TCP/IP to the printer, the receipt
#                     in the file list, the status request in the string box
#   stop_printer      ends the printer, sets SUMMARY and prints it
#   check_printer_got FILE...  0 when the printer received exactly the
#                     concatenation of FILE... (printed either way)
WORK=$(mktemp -d)
SIM_PID=""
demo_cleanup() {
  if [[ -n "$SIM_PID" ]] && kill -0 "$SIM_PID" 2>/dev/null; then kill -KILL "$SIM_PID"; fi
  rm -rf "$WORK"
}
trap demo_cleanup EXIT
export SENDRIX_HOME=$WORK/home XDG_CONFIG_HOME=$WORK/config

# A small receipt: initialise, a few lines, feed and cut.
RECEIPT=$WORK/receipt.prn
{
  printf '\x1b@'
  printf 'SENDRIX DEMO RECEIPT\n'
  for i in $(seq 1 40); do printf 'Item %02d ..................... %3d.%02d\n' "$i" "$i" "$((i * 7 % 100))"; done
  printf '\n\n\n\x1dV\x00'
} > "$RECEIPT"
# The status request the demos send after the receipt (DLE EOT 1).
STATUS_REQUEST="10 04 01"
printf '\x10\x04\x01' > "$WORK/status-request.bin"

start_printer() {
  "$SIM" --main-port 0 --rt-port 0 --usm-port 0 --usm-every-ms 300 --exit-after-s 3600 \
    > "$WORK/sim.out" 2> "$WORK/sim.err" &
  SIM_PID=$!
  for _ in $(seq 1 100); do
    grep -q '^ready ' "$WORK/sim.out" && break
    sleep 0.1
  done
  READY=$(grep '^ready ' "$WORK/sim.out") || { echo "demo: the virtual printer did not start" >&2; exit 1; }
  echo "virtual printer: $READY"
}

port() { sed -n "s/.* $1=\([0-9]*\).*/\1/p" <<< "$READY"; }

write_settings() {
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
"Hist String #0"="$STATUS_REQUEST"
REG
}

stop_printer() {
  kill -TERM "$SIM_PID"
  for _ in $(seq 1 100); do kill -0 "$SIM_PID" 2>/dev/null || break; sleep 0.1; done
  wait "$SIM_PID" || true
  SIM_PID=""
  SUMMARY=$(grep '^summary ' "$WORK/sim.out")
  echo "virtual printer: $SUMMARY"
}

check_printer_got() {
  local expected
  expected=$(cat "$@" | sha256sum | cut -d' ' -f1)
  if [[ "$SUMMARY" == *"sha256=$expected"* ]]; then
    echo "byte-exact: yes"
  else
    echo "byte-exact: NO (expected sha256=$expected)" >&2
    return 1
  fi
}
