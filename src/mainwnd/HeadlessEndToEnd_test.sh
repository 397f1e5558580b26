#!/usr/bin/env bash
# The program as a script runs it: headless sendrix (no display) against the
# virtual printer on loopback, checking exit statuses, what the printer got,
# stdout/stderr and the settings saved at the end.
#
#   HeadlessEndToEnd_test.sh SENDRIX PRINTER_SIM
set -uo pipefail
SENDRIX=$1
source "$(dirname "$0")/../testsupport/EndToEndFixtures.sh" "$2"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

# Runs sendrix with the TCP options (bounded); sets RC.
run() {
  timeout -k 5 60 "$SENDRIX" "$@" -I:T -A:127.0.0.1 "-O:$PORT" > out.txt 2> err.txt
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
grep -q '^data ' out.txt && fail "download: the protocol's replies printed as data: $(grep -m1 '^data ' out.txt)"

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
# Rows as the list shows them, with no trailing blanks (0x01 shows as a dot).
ROW1=$(printf 'data %-50s  %s' "53 54 41 54 55 53 20 30 - 31 32 33 34 35 36 37 38" "STATUS 012345678")
ROW2=$(printf 'data %-50s  %s' "39 01" "9.")
check "reply rows" "$ROW1|$ROW2|" "$(grep '^data ' out.txt | tr '\n' '|')"
# The reply could not be written: the script is told (exit 1), both when
# stdout is full and when it is closed.
start_sim --stream reply.bin
timeout -k 5 60 "$SENDRIX" "1B 76" -M:X -I:T -A:127.0.0.1 "-O:$PORT" > /dev/full 2> err.txt
check "reply to a full stdout exit" 1 "$?"
grep -q '^Sendrix: the output could not be written' err.txt || fail "full stdout: no message"
stop_sim
start_sim --stream reply.bin
timeout -k 5 60 "$SENDRIX" "1B 76" -M:X -I:T -A:127.0.0.1 "-O:$PORT" >&- 2> err.txt
check "reply to a closed stdout exit" 1 "$?"
stop_sim

# USM status messages (4 bytes each) fill rows as the USM list does, never a
# partial row of their own per message.
mkdir -p "$XDG_CONFIG_HOME/sendrix"
start_sim --usm-every-ms 20
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVEL\\SENDRIX\\Communication Parameters]\r\n"USM Ethernet Port"=dword:%08x\r\n' \
  "$USM_PORT" > "$REG"
timeout -k 5 60 "$SENDRIX" receipt.prn -M:T -R:8 -D:50 -I:T -A:127.0.0.1 "-O:$PORT" > out.txt 2> err.txt
stop_sim
USM_ROWS=$(grep -c '^usm ' out.txt)
USM_PARTIAL=$(grep '^usm ' out.txt | head -n -1 | grep -vc '^usm  14 00 00 0F 14 00 00 0F - 14 00 00 0F 14 00 00 0F')
[[ $USM_ROWS -ge 2 && $USM_PARTIAL -eq 0 ]] || fail "usm rows: $USM_ROWS rows, $USM_PARTIAL not whole: $(grep -m3 '^usm ' out.txt | tr '\n' '|')"
rm -f "$REG"

# Failures: a missing file (error 3), a refused erase.
start_sim --erase-ms 10 --fault nak-erase
run missing.prn -M:T
check "missing file exit" 1 "$RC"
grep -q '^Sendrix: The file could not be opened' err.txt || fail "missing file: no error 3 on stderr"
run firmware.bin -M:D
check "erase NAK exit" 1 "$RC"
stop_sim

# A refused option: its message, nothing sent, exit 2, nothing saved.
rm -f "$REG"
start_sim
for option in -I:t -I:Z -B:1234 -P:Z -H:Z -A:localhost -A:127.0.0.256 -A:127.0.0.1.5 -O:70000; do
  timeout -k 5 60 "$SENDRIX" "41" -M:X -I:T -A:127.0.0.1 "-O:$PORT" "$option" > out.txt 2> err.txt
  check "refused $option exit" 2 "$?"
  grep -q '^Sendrix: Command line: invalid' err.txt || fail "refused $option: no message"
done
grep -q '110, 300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600 or 115200' <(
  timeout -k 5 60 "$SENDRIX" "41" -M:X -B:1234 2>&1) || fail "baud message cut short"
timeout -k 5 60 "$SENDRIX" "41" -M:X -I:T "-O:$PORT" -A:localhost > out.txt 2> err.txt
check "-A:localhost exit" 2 "$?"
grep -qi '"Ethernet IP Address"=dword:ffffffff' "$REG" 2>/dev/null && fail "-A:localhost saved as 255.255.255.255"
stop_sim
check "refused options sent nothing" 0 "$(field bytes)"

# -R: below -1 repeats until stopped, as the window's start makes it.
start_sim
timeout -k 5 60 "$SENDRIX" receipt.prn -M:T -R:-5 -D:1 -I:T -A:127.0.0.1 "-O:$PORT" > out.txt 2> err.txt &
PID=$!
PASS3='\(pass ([3-9]|[1-9][0-9]+)\)'  # reports are coalesced: any pass from the third on
for _ in $(seq 1 600); do grep -qE "$PASS3" err.txt && break; sleep 0.05; done
grep -qE "$PASS3" err.txt || fail "-R:-5: no third pass within 30 s"
kill -TERM "$PID"
wait "$PID"
check "-R:-5 exit" 3 "$?"
stop_sim

# Nothing to send, said so: an empty, blank or lone-escape string.
start_sim
for text in "|X" "   |X" '\|S'; do
  timeout -k 5 60 "$SENDRIX" "${text%|*}" "-M:${text#*|}" -I:T -A:127.0.0.1 "-O:$PORT" > out.txt 2> err.txt
  check "string [$text] exit" 1 "$?"
  grep -q '^Sendrix: ' err.txt || fail "string [$text]: nothing on stderr"
done
# A data string that looks like a Qt option is data; --version is one line.
timeout -k 5 60 "$SENDRIX" -reverse -M:S -I:T -A:127.0.0.1 "-O:$PORT" > out.txt 2> err.txt
check "-reverse as data exit" 0 "$?"
timeout -k 5 60 "$SENDRIX" -platform -M:S -I:T -A:127.0.0.1 "-O:$PORT" > out.txt 2> err.txt
check "-platform as data exit" 0 "$?"
stop_sim
check "Qt-looking strings sent" "$(printf -- '-reverse-platform' | sha256sum | cut -d' ' -f1)" "$(field sha256)"
check "--version" "sendrix 5.0.894|0" "$(timeout -k 5 30 "$SENDRIX" --version 2>&1)|$?"

# Start-up that cannot succeed ends at once with its message and exit 1: the
# Output folder cannot be made; a FIFO given as the file.
: > notafolder
SENDRIX_HOME=$WORK/notafolder/home timeout -k 5 30 "$SENDRIX" "41" -M:X -I:T -A:127.0.0.1 -O:9 \
  > out.txt 2> err.txt
check "no Output folder exit" 1 "$?"
grep -q '^Sendrix: Cannot create the Output folder' err.txt || fail "no Output folder: no message"
mkfifo pipe.prn
start_sim
timeout -k 5 30 "$SENDRIX" pipe.prn -M:T -I:T -A:127.0.0.1 "-O:$PORT" > out.txt 2> err.txt
check "FIFO as the file exit" 1 "$?"
stop_sim

# A signal at any moment ends the run with 3 and sends nothing more: as soon
# as the program can catch it, and while connecting to a port that never
# answers (a listener whose queue is full).
catches() { # pid of timeout, signal number: sets CHILD once sendrix catches it
  local mask
  for _ in $(seq 1 3000); do
    CHILD=$(cat "/proc/$1/task/$1/children" 2>/dev/null)
    CHILD=${CHILD// /}
    mask=$(awk '/^SigCgt/ { print $2 }' "/proc/$CHILD/status" 2>/dev/null)
    [[ -n $CHILD && -n $mask ]] && (((16#$mask >> ($2 - 1)) & 1)) && return 0
    sleep 0.002
  done
  return 1
}
start_sim
# A signal before the program could catch it: started with the signal
# blocked and already pending (as a parent that blocked it leaves it), the
# run must take it the moment it can, however fast its start-up is.
for signal in TERM HUP INT; do
  # shellcheck disable=SC2016 # the quoted text is perl's
  timeout -k 5 60 perl -MPOSIX -e \
    'my $s = eval "POSIX::SIG" . shift; sigprocmask(SIG_BLOCK, POSIX::SigSet->new($s));
     kill $s, $$; exec @ARGV or exit 127' \
    "$signal" "$SENDRIX" "41 42" -M:X -I:T -A:127.0.0.1 "-O:$PORT" > out.txt 2> err.txt
  check "SIG$signal at once exit" 3 "$?"
done
stop_sim
check "early SIGTERM sent nothing" 0 "$(field bytes)"
python3 -c '
import socket, sys, time
s = socket.socket(); s.bind(("127.0.0.1", 0)); s.listen(0)
fill = [socket.socket() for _ in range(3)]
for f in fill: f.setblocking(False); f.connect_ex(s.getsockname())
print(s.getsockname()[1], flush=True); time.sleep(60)' > deaf.port &
OTHER_PIDS+=($!)
for _ in $(seq 1 100); do [[ -s deaf.port ]] && break; sleep 0.05; done
for signal in TERM INT; do
  timeout -k 5 60 "$SENDRIX" "41" -M:X -I:T -A:127.0.0.1 "-O:$(cat deaf.port)" > out.txt 2> err.txt &
  PID=$!
  sleep 1
  START=$(date +%s%N)
  kill "-$signal" "$PID"
  wait "$PID"
  RC=$?
  MS=$((($(date +%s%N) - START) / 1000000))
  check "SIG$signal while connecting exit" 3 "$RC"
  ((MS <= 1000)) || fail "SIG$signal while connecting: ended after $MS ms"
done

# SIGTERM (and SIGHUP, taken as SIGTERM) during a continuous run of a small
# file with no delay: the workers' reports must not flood the window (memory
# stays flat), and the signal ends the run within a second with 3, the
# settings saved.
head -c 100 /dev/urandom > small.prn
for signal in TERM HUP; do
  rm -f "$REG"
  start_sim
  timeout -k 5 60 "$SENDRIX" small.prn -M:T -R:-1 -D:0 -I:T -A:127.0.0.1 "-O:$PORT" > out.txt 2> err.txt &
  PID=$!
  # Under sanitizers on a loaded machine the start alone can take seconds.
  for _ in $(seq 1 600); do grep -q '^progress' err.txt && break; sleep 0.05; done
  grep -q '^progress' err.txt || fail "continuous transfer: no progress within 30 s"
  sleep 1
  RSS1=$(awk '/^VmRSS/ { print $2 }' "/proc/$PID/status")
  sleep 3
  RSS2=$(awk '/^VmRSS/ { print $2 }' "/proc/$PID/status")
  START=$(date +%s%N)
  kill "-$signal" "$PID"
  wait "$PID"
  RC=$?
  MS=$((($(date +%s%N) - START) / 1000000))
  stop_sim
  check "SIG$signal exit" 3 "$RC"
  ((MS <= 1000)) || fail "SIG$signal: ended after $MS ms"
  ((RSS2 - RSS1 < 20480)) || fail "SIG$signal: memory grew $(((RSS2 - RSS1) / 1024)) MiB in 3 s"
  [[ -f "$REG" ]] || fail "SIG$signal: settings not saved"
  (($(field bytes) > 1000)) || fail "SIG$signal: only $(field bytes) bytes reached the printer"
done

# Progress follows what the printer has taken, not what the kernel buffered:
# stopped after 2 s at 100 kB/s, a 1 MB file is far from 100 %.
head -c 1000000 /dev/urandom > slow.prn
start_sim --fault throttle=100000
timeout -k 5 60 "$SENDRIX" slow.prn -M:T -I:T -A:127.0.0.1 "-O:$PORT" > out.txt 2> err.txt &
PID=$!
wait_connected "$PORT" || fail "slow printer: never connected"
sleep 2
kill -TERM "$PID"
wait "$PID"
stop_sim
LAST=$(grep '^progress' err.txt | tail -1)
[[ -z $LAST || ${LAST//[^0-9]/} -le 60 ]] || fail "progress ran ahead of the printer: $LAST"

# SIGTERM during a download's erase: aborted (3), and the printer is back in
# normal mode: the next bytes are print data.
start_sim --erase-ms 5000
timeout -k 5 60 "$SENDRIX" firmware.bin -M:D -I:T -A:127.0.0.1 "-O:$PORT" > out.txt 2> err.txt &
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
timeout -k 5 30 "$SENDRIX" > out.txt 2> err.txt
check "no command line exit" 2 "$?"
grep -q 'no action on the command line' err.txt || fail "no command line: no message"

# No valid action: the help on stdout and 2; -W:0 headless refused with 2.
timeout -k 5 30 "$SENDRIX" onlyone > out.txt 2> err.txt
check "one token exit" 2 "$?"
grep -q '^Command Line Syntax' out.txt || fail "one token: no help on stdout"
timeout -k 5 30 "$SENDRIX" receipt.prn -M:T -W:0 > out.txt 2> err.txt
check "-W:0 exit" 2 "$?"
grep -q -- '-W:0' err.txt || fail "-W:0: no message"

finish
