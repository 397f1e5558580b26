#!/usr/bin/env bash
# Sendrix's main job against the virtual printer, over loopback TCP:
# transmits a demo receipt three times with a pause between passes, asks the
# printer for its status, shows the reply and the unsolicited status
# messages, and checks that every byte arrived exactly.
#
#   scripts/demo.sh CLI SIM     (paths of sendrix-cli and sendrix-printer-sim)
# Exit status 0 when the printer received exactly what was sent.
set -euo pipefail
CLI=$1
SIM=$2
WORK=$(mktemp -d)
SIM_PID=""
cleanup() {
  if [[ -n "$SIM_PID" ]] && kill -0 "$SIM_PID" 2>/dev/null; then kill -KILL "$SIM_PID"; fi
  rm -rf "$WORK"
}
trap cleanup EXIT
export SENDRIX_HOME=${SENDRIX_HOME:-$WORK/home}

# A small receipt: initialise, a few lines, feed and cut.
RECEIPT=$WORK/receipt.prn
{
  printf '\x1b@'
  printf 'SENDRIX DEMO RECEIPT\n'
  for i in $(seq 1 40); do printf 'Item %02d ..................... %3d.%02d\n' "$i" "$i" "$((i * 7 % 100))"; done
  printf '\n\n\n\x1dV\x00'
} > "$RECEIPT"

: > "$WORK/sim.out"
"$SIM" --main-port 0 --rt-port 0 --usm-port 0 --usm-every-ms 300 --exit-after-s 120 \
  > "$WORK/sim.out" 2> "$WORK/sim.err" &
SIM_PID=$!
for _ in $(seq 1 100); do
  grep -q '^ready ' "$WORK/sim.out" && break
  sleep 0.1
done
READY=$(grep '^ready ' "$WORK/sim.out") || { echo "demo: the virtual printer did not start" >&2; exit 1; }
port() { sed -n "s/.* $1=\([0-9]*\).*/\1/p" <<< "$READY"; }
TARGET="127.0.0.1:$(port main):$(port rt):$(port usm)"
echo "virtual printer: $READY"

echo "== transmit $(stat -c %s "$RECEIPT") bytes, 3 passes, 100 ms apart"
"$CLI" --tcp "$TARGET" --file "$RECEIPT" --repeat 3 --delay 100 | grep -v '^progress [0-9]*% (pass [0-9]*)$' || true
echo "== ask for the printer status (DLE EOT 1) and listen for 700 ms"
"$CLI" --tcp "$TARGET" --hex "10 04 01" --listen 700
echo "received data file: $SENDRIX_HOME/Output/RxData.bin ($(xxd -p "$SENDRIX_HOME/Output/RxData.bin"))"

kill -TERM "$SIM_PID"
for _ in $(seq 1 100); do kill -0 "$SIM_PID" 2>/dev/null || break; sleep 0.1; done
wait "$SIM_PID" || true
SIM_PID=""
SUMMARY=$(grep '^summary ' "$WORK/sim.out")
echo "virtual printer: $SUMMARY"
EXPECTED=$({ cat "$RECEIPT" "$RECEIPT" "$RECEIPT"; printf '\x10\x04\x01'; } | sha256sum | cut -d' ' -f1)
if [[ "$SUMMARY" == *"sha256=$EXPECTED"* ]]; then
  echo "byte-exact: yes"
else
  echo "byte-exact: NO (expected sha256=$EXPECTED)" >&2
  exit 1
fi
