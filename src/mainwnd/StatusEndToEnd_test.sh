#!/usr/bin/env bash
# What the printer says, in words: headless sendrix asks the virtual printer
# in each state for its status and prints the decoded lines after the data
# rows; the automatic status messages of the USM channel are decoded too.
# The rows, the data log and the received-data file keep the bytes as sent.
#
#   StatusEndToEnd_test.sh SENDRIX PRINTER_SIM
set -uo pipefail
SENDRIX=$1
source "$(dirname "$0")/../testsupport/EndToEndFixtures.sh" "$2"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

# The USM port has no command-line option: it comes from the settings, with
# the data log on.
write_settings() {
  mkdir -p "$XDG_CONFIG_HOME/sendrix"
  printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVEL\\SENDRIX]\r\n"Create Log File"=dword:00000001\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVEL\\SENDRIX\\Communication Parameters]\r\n"USM Ethernet Port"=dword:%08x\r\n' \
    "$USM_PORT" > "$REG"
}
# The data rows' hex (the ASCII column aside) and the status lines, joined by '|'.
lines() {
  grep -E '^(data|status) ' out.txt | sed -E 's/^(data .{50}).*/\1/; s/ +$//' | tr '\n' '|'
}
run() {
  timeout 60 "$SENDRIX" "$@" -I:T -A:127.0.0.1 "-O:$PORT" > out.txt 2> err.txt
  RC=$?
}
ALL_FOUR="10 04 01 10 04 02 10 04 03 10 04 04"

# Every state, every n: one string asks all four; the printer answers in order.
EXPECTED=(
  "online|16 12 12 12|online, drawer closed|no offline cause|no error|paper adequate"
  "offline|1E 12 12 12|offline, drawer closed|no offline cause|no error|paper adequate"
  "cover-open|1E 16 12 12|offline, drawer closed|cover open|no error|paper adequate"
  "paper-near-end|16 12 12 1E|online, drawer closed|no offline cause|no error|paper near end"
  "paper-out|1E 32 12 7E|offline, drawer closed|stopped by paper end|no error|paper near end, paper out"
  "drawer-open|12 12 12 12|online, drawer open|no offline cause|no error|paper adequate"
  "error|1E 52 1A 12|offline, drawer closed|error|auto-cutter error|paper adequate"
)
for row in "${EXPECTED[@]}"; do
  IFS='|' read -r state bytes w1 w2 w3 w4 <<< "$row"
  start_sim --state "$state"
  run "$ALL_FOUR" -M:X
  stop_sim
  check "$state exit" 0 "$RC"
  want="data $bytes|status DLE EOT 1: $w1|status DLE EOT 2: $w2|status DLE EOT 3: $w3"
  check "$state lines" "$want|status DLE EOT 4: $w4|" "$(lines)"
done

# One request alone; the bytes shown, logged and saved are the printer's.
start_sim --state paper-near-end
write_settings
run "10 04 04" -M:X
stop_sim
check "near end lines" "data 1E|status DLE EOT 4: paper near end|" "$(lines)"
check "near end saved" "1e" "$(od -An -tx1 "$SENDRIX_HOME/Output/RxData.bin" | tr -d ' \n')"
LOG=$(find "$SENDRIX_HOME/Output" -maxdepth 1 -name '*.html' ! -name '*temp*' | head -1)
grep -A3 'Data Received. Size = 1 bytes' "$LOG" | grep -q '1E' || fail "near end: the log's dump lost the byte"
grep -q 'status DLE EOT 4: paper near end' "$LOG" || fail "near end: no decoded line in the log"

# The USM channel: every automatic message is decoded, a change says what
# changed. The cover opens and closes every 400 ms from 1 s on, so a change
# comes whenever the run has connected.
STEPS=()
for ms in $(seq 1000 800 29000); do
  STEPS+=(--state-at "$ms:cover-open" --state-at "$((ms + 400)):online")
done
start_sim --usm-every-ms 300 "${STEPS[@]}"
write_settings
head -c 100 /dev/urandom > receipt.prn
timeout 60 "$SENDRIX" receipt.prn -M:T -R:-1 -D:200 -I:T -A:127.0.0.1 "-O:$PORT" > out.txt 2> err.txt &
PID=$!
OTHER_PIDS+=("$PID")
OPENED="status automatic: offline, cover open, drawer closed; changed: offline, cover open"
CLOSED="status automatic: online, drawer closed; changed: online, cover closed"
for _ in $(seq 1 400); do
  grep -qF "$OPENED" out.txt && grep -qF "$CLOSED" out.txt && break
  sleep 0.05
done
kill -TERM "$PID"
wait "$PID"
stop_sim
# The message's bytes are on a row before its line.
awk -v line="$OPENED" '/^usm .*3C 00 00 0F/ { row = 1 } $0 == line { ok = row; exit } END { exit !ok }' \
  out.txt || fail "usm: no row with the cover-open message before its line"
grep -qF "$CLOSED" out.txt || fail "usm: the cover's closing not reported"
grep -qE '^status automatic: online, drawer closed$' out.txt || fail "usm: no periodic message decoded"
finish
