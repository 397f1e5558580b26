#!/usr/bin/env bash
# The program as a script runs it: headless sendrix (no display) against the
# virtual printer on loopback, checking exit statuses, what the printer got,
# stdout/stderr and the settings saved at the end.
#
#   HeadlessEndToEnd_test.sh SENDRIX PRINTER_SIM
set -uo pipefail
SENDRIX=$1
source "$(dirname "$0")/EndToEndFixtures.sh" "$2"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

# Runs sendrix with the TCP options (bounded); sets RC.
run() {
  timeout 60 "$SENDRIX" "$@" -I:T -A:127.0.0.1 "-O:$PORT" > out.txt 2> err.txt
  RC=$?
}

head -c 30000 /dev/urandom > receipt.prn
head -c 102400 /dev/urandom > firmware.bin

# Transmit three copies with a pause: byte-exact, exit 0, the settings saved.
start_sim
run receipt.prn -M:T -R:3 -D:100
stop_sim
check "transmit exit" 0 "$RC"
check "transmit sha256" "$(cat receipt.prn receipt.prn receipt.prn | sha256sum | cut -d' ' -f1)" "$(field sha256)"
grep -q '^progress 100% (pass 3)$' err.txt || fail "transmit: no plain progress line for pass 3"
grep -qi "\"Ethernet Port\"=dword:$(printf '%08x' "$PORT")" "$REG" || fail "transmit: TCP port not saved"
grep -q '"Interface Type"=dword:00000002' "$REG" || fail "transmit: TCP/IP interface not saved"

# Firmware download: exit 0 and the printer's CRC on stdout.
start_sim --erase-ms 10
run firmware.bin -M:D
stop_sim
check "download exit" 0 "$RC"
check "download crc" "CRC = $(field crc)" "$(grep '^CRC = ' out.txt)"

# Packet mode strings (hex, then ASCII): the printer decodes two frames.
start_sim --packet
run "1B 40 41" -M:X -Q:L
RC_X=$RC
run ABC -M:S -Q:L
stop_sim
check "packet hex exit" 0 "$RC_X"
check "packet ascii exit" 0 "$RC"
check "packet frames" "2 0" "$(field frames_ok) $(field frames_bad)"
check "packet data" "$(printf '\x1b@AABC' | sha256sum | cut -d' ' -f1)" "$(field sha256)"

# What the printer sends shows on stdout as the receive list's rows.
printf 'STATUS 0123456789\x01' > reply.bin
start_sim --stream reply.bin
run "1B 76" -M:X
stop_sim
check "reply exit" 0 "$RC"
ROW1=$(printf 'data %-50s  %s' "53 54 41 54 55 53 20 30 - 31 32 33 34 35 36 37 38 " "STATUS 012345678")
ROW2=$(printf 'data %-50s  %s' "39 01 " "9 ")
check "reply rows" "$ROW1|$ROW2|" "$(grep '^data ' out.txt | tr '\n' '|')"

# Failures: a missing file (error 3), a refused erase.
start_sim --erase-ms 10 --fault nak-erase
run missing.prn -M:T
check "missing file exit" 1 "$RC"
grep -q '^Sendrix: The file could not be opened' err.txt || fail "missing file: no error 3 on stderr"
run firmware.bin -M:D
check "erase NAK exit" 1 "$RC"
stop_sim

# SIGTERM during a continuous transfer: aborted (3), settings saved.
rm -f "$REG"
start_sim --fault throttle=200000
timeout 60 "$SENDRIX" receipt.prn -M:T -R:-1 -D:1 -I:T -A:127.0.0.1 "-O:$PORT" > out.txt 2> err.txt &
PID=$!
# Under sanitizers on a loaded machine the start alone can take seconds.
for _ in $(seq 1 600); do grep -q '^progress' err.txt && break; sleep 0.05; done
grep -q '^progress' err.txt || fail "continuous transfer: no progress within 30 s"
sleep 0.3
kill -TERM "$PID"
wait "$PID"
RC=$?
stop_sim
check "SIGTERM exit" 3 "$RC"
[[ -f "$REG" ]] || fail "SIGTERM: settings not saved"

# SIGTERM during a download's erase: aborted (3), and the printer is back in
# normal mode: the next bytes are print data.
start_sim --erase-ms 5000
timeout 60 "$SENDRIX" firmware.bin -M:D -I:T -A:127.0.0.1 "-O:$PORT" > out.txt 2> err.txt &
PID=$!
# Its signal handlers are in place before it connects; the erase takes 5 s.
wait_connected "$PORT" || fail "download: never connected"
sleep 0.3
kill -TERM "$PID"
wait "$PID"
RC_ABORT=$?
run "41 42" -M:X
stop_sim
check "SIGTERM download exit" 3 "$RC_ABORT"
check "printer in normal mode after the abort" "2 $(printf 'AB' | sha256sum | cut -d' ' -f1)" \
  "$(field bytes) $(field sha256)"

# No command line: an unseen window nobody could use is refused at once.
timeout 30 "$SENDRIX" > out.txt 2> err.txt
check "no command line exit" 2 "$?"
grep -q 'no action on the command line' err.txt || fail "no command line: no message"

# No valid action: the help on stdout and 2; -W:0 headless refused with 2.
timeout 30 "$SENDRIX" onlyone > out.txt 2> err.txt
check "one token exit" 2 "$?"
grep -q '^Command Line Syntax' out.txt || fail "one token: no help on stdout"
timeout 30 "$SENDRIX" receipt.prn -M:T -W:0 > out.txt 2> err.txt
check "-W:0 exit" 2 "$?"
grep -q -- '-W:0' err.txt || fail "-W:0: no message"

finish
