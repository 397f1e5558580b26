#!/usr/bin/env bash
# Sendrix's main job as a script runs it: headless sendrix (its -M: batch
# command line, no window) against the virtual printer over loopback TCP.
# Transmits a demo receipt three times 100 ms apart, then asks the printer for
# its status (DLE EOT 1), showing what each run printed and its exit status,
# and checks that the printer received exactly that.
#
#   scripts/demo.sh BIN SIM
#     BIN: the folder holding sendrix; SIM: the path of sendrix-printer-sim.
# Exit status 0 when every run exited 0 and the printer received exactly what
# was sent. (scripts/window-demo.sh is the same job in the window.)
set -euo pipefail
BIN=$1
SIM=$2
source "$(dirname "$0")/demo-printer.sh"
start_printer
# The real-time and status ports have no batch option: the settings name them.
write_settings

# Runs headless sendrix with the printer's address and port; shows its
# stdout (the rows the printer sent back, the firmware CRC), its stderr
# without the per-10% progress lines, and its exit status.
STATUS=0
run_sendrix() {
  local rc=0
  echo "== sendrix \"$1\" ${*:2} -I:T -A:127.0.0.1 -O:$(port main) -platform offscreen"
  "$BIN/sendrix" "$@" -I:T -A:127.0.0.1 "-O:$(port main)" -platform offscreen \
    2> "$WORK/stderr.txt" || rc=$?
  grep -v '^progress [0-9]*% (pass [0-9]*)$' "$WORK/stderr.txt" >&2 || true
  grep '^progress 100% ' "$WORK/stderr.txt" || true
  echo "exit status $rc"
  [[ $rc == 0 ]] || STATUS=1
}
run_sendrix "$RECEIPT" -M:T -R:3 -D:100
run_sendrix "$STATUS_REQUEST" -M:X

stop_printer
check_printer_got "$RECEIPT" "$RECEIPT" "$RECEIPT" "$WORK/status-request.bin" || STATUS=1
exit $STATUS
