#!/usr/bin/env bash
# An operator's day of faults on a real X server (Xvfb, no window manager),
# with the real pointer and keys (XTest, through xdotool) against the virtual
# printer on loopback: the window must recover and say what happened.
#
#  1. The printer is off (connection refused), then back: the next Start
#     sends, with no other click.
#  2. Device setup: 300.1.2.3 stays as typed and is refused, so is 0.0.0.0;
#     a new address is asked first (Cancel sends nothing), then set; Reboot
#     says what it did, and the restart it causes gives one box, naming the
#     connection.
#  3. The printer restarts during a firmware download: one box, naming the
#     connection, and saying what to do.
#  4. The serial port (the printer's pseudo-terminal) goes away: Start says
#     so, the window stays usable and the Serial radio keeps its selection;
#     the port comes back: a click on Serial reconnects and a string goes.
#
#   XvfbRecovery_test.sh SENDRIX PRINTER_SIM WM_CLOSE CONTROL_PLACES_LIB
# The library tells where each control is and what the boxes say
# (src/testsupport/ControlPlaces.cpp). SENDRIX_XVFB_BOX_SHOT=FILE.png keeps
# a picture of the first box of scene 3.
set -uo pipefail
SENDRIX=$1
WM_CLOSE=$3
PLACES_LIB=$4
source "$(dirname "$0")/../testsupport/EndToEndFixtures.sh" "$2"
start_xvfb 1280x1024 xwininfo
PLACES=$WORK/places.txt
export SENDRIX_CONTROL_PLACES=$PLACES

# The line of control KEY in a window whose title matches TITLE (a regex).
at() { awk -F'\t' -v k="$1" -v t="${2:-.}" '$2 == k && $1 ~ t { print; exit }' "$PLACES" 2>/dev/null; }
field_of() { cut -f"$1" <<< "$2"; }
# Waits (at most 10 s) until KEY is shown and enabled, then clicks it.
click() {
  local line=""
  for _ in $(seq 1 100); do
    line=$(at "$1" "${2:-}")
    [[ -n $line && $(field_of 5 "$line") == 1 ]] && break
    line=""
    sleep 0.1
  done
  [[ -n $line ]] || { fail "$1 is not there to click, or greyed"; return 1; }
  xdotool mousemove --sync "$(field_of 3 "$line")" "$(field_of 4 "$line")" click 1
  sleep 0.3
}
# Gives the window WID the keyboard as a window manager would. Focused
# already (a closed box handed it back), it takes no focus event and stays
# inactive: so the focus goes to the root window first.
focus_window() {
  xdotool windowfocus --sync "$(xwininfo -root | awk '/Window id/ { print $4 }')"
  xdotool windowfocus --sync "$1"
}
# Clicks into the edit KEY of the window titled TITLE and types TEXT there.
type_into() {
  local wid
  wid=$(xdotool search --onlyvisible --name "$2" | head -n 1)
  [[ -n $wid ]] && focus_window "$wid"
  click "$1" "$2" || return 1
  xdotool key --delay 30 ctrl+a
  xdotool type --delay 20 "$3"
  sleep 0.3
}
# The boxes on screen, one "icon:text" a line.
boxes() { awk -F'\t' '$2 ~ /^box:/ { print substr($2, 5) }' "$PLACES" 2>/dev/null; }
# Waits (at most $1 s) until a box is on screen, then $2 s more for others.
wait_boxes() {
  for _ in $(seq 1 $(($1 * 10))); do [[ -n $(boxes) ]] && break; sleep 0.1; done
  sleep "${2:-2}"
  BOXES=$(boxes)
  # shellcheck disable=SC2001  # a prefix on every line of several
  if [[ -n $BOXES ]]; then sed 's/^/   box: /' <<< "$BOXES"; fi
}
# Closes every box by its OK (at most $1 rounds, 10 by default); a box
# under another one takes no click until the one above has gone, and a box
# that comes meanwhile is closed by the next round.
close_boxes() {
  local line
  for _ in $(seq 1 "${1:-10}"); do
    [[ -z $(boxes) ]] && return 0
    while IFS= read -r line; do
      xdotool mousemove --sync "$(field_of 3 "$line")" "$(field_of 4 "$line")" click 1
      sleep 0.4
    done < <(awk -F'\t' '$1 == "Sendrix" && $2 == "button:OK"' "$PLACES")
    sleep 0.3
  done
  [[ -z $(boxes) || -n ${1:-} ]] || fail "boxes left open: $(boxes)"
}
count_lines() { if [[ -z $2 ]]; then echo 0; else grep -c -- "$1" <<< "$2"; fi; }
wait_bytes() { # FILE BYTES: at most 10 s
  for _ in $(seq 1 100); do
    [[ $(stat -c %s "$1" 2>/dev/null || echo 0) -ge $2 ]] && return 0
    sleep 0.1
  done
  return 1
}

head -c 3000 /dev/urandom > receipt.prn
head -c $((256 * 1024)) /dev/urandom > firmware.bin
# The ports of a printer that is then switched off: connects are refused.
start_sim --udp-port 0
P=$PORT R=$RT_PORT U=$USM_PORT
UDP=$(sed -n 's/^ready .*udp=\([0-9]*\).*/\1/p' sim.out)
stop_sim
# The printer on a pseudo-terminal only (the serial port); sets SIM_PID.
start_pty_sim() {
  : > sim.out
  "$SIM" --no-tcp --pty "$WORK/ttySIM" --capture serial.bin --exit-after-s 600 > sim.out 2> sim.err &
  SIM_PID=$!
  for _ in $(seq 1 100); do grep -q '^ready' sim.out && break; sleep 0.05; done
  [[ -e $WORK/ttySIM ]] || { echo "the serial printer did not start" >&2; exit 1; }
}
# The serial list: the ports of this machine, then the printer's link.
SERIAL_COUNT=0
for t in /sys/class/tty/ttyS*; do
  [[ -r $t/type && $(cat "$t/type") != 0 ]] && SERIAL_COUNT=$((SERIAL_COUNT + 1))
done
SERIAL_COUNT=$((SERIAL_COUNT + $(find /sys/class/tty -maxdepth 1 \( -name 'ttyUSB*' -o \
  -name 'ttyACM*' -o -name 'rfcomm*' \) 2> /dev/null | wc -l)))
export SENDRIX_EXTRA_SERIAL_PORTS=$WORK/ttySIM
mkdir -p "$XDG_CONFIG_HOME/sendrix"
cat > "$REG" <<REG
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVEL\\SENDRIX\\Files History]
"Nb Files History"=dword:00000001
"Hist File #0"="$WORK/receipt.prn"

[HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVEL\\SENDRIX\\Communication Parameters]
"Interface Type"=dword:00000002
"Ethernet IP Address"=dword:7f000001
"Ethernet Port"=dword:$(printf '%08x' "$P")
"Real Time Ethernet Port"=dword:$(printf '%08x' "$R")
"USM Ethernet Port"=dword:$(printf '%08x' "$U")
"Serial Port Id"=dword:$(printf '%08x' "$SERIAL_COUNT")
"Baud Rate"=dword:00000000
"Flow Control"=dword:00000000
REG

SENDRIX_DISCOVERY_ADDR=127.0.0.1 SENDRIX_DISCOVERY_PORT=$UDP QT_QPA_PLATFORM=xcb \
  LD_PRELOAD=$PLACES_LIB ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0 \
  "$SENDRIX" > sendrix.out 2> sendrix.err &
APP_PID=$!
OTHER_PIDS+=("$APP_PID")
WID=$(timeout 30 xdotool search --sync --onlyvisible --name '^Sendrix V' | head -n 1)
[[ -n "$WID" ]] || { echo "no window" >&2; cat sendrix.err >&2; exit 1; }
timeout 10 xdotool windowfocus --sync "$WID" || fail "the window took no focus"
MAIN='^Sendrix V'

echo "-- 1. the printer is off, then back"
wait_boxes 15 1
check "refused at start-up: one box" 1 "$(count_lines "Connection refused" "$BOXES")"
check "the refusal is an error" 1 "$(count_lines '^critical:Cannot connect to 127.0.0.1' "$BOXES")"
close_boxes
start_sim --main-port "$P" --rt-port "$R" --usm-port "$U" --udp-port "$UDP" \
  --exit-after-s 600 --capture capture.bin --erase-ms 300 --fault restart-after=$((3000 + 60000))
if [[ $(field_of 5 "$(at id:1003 "$MAIN")") != 1 ]]; then
  fail "Start is greyed after the refusal"
  click id:1300 "$MAIN"  # the way out found by trial, to go on
  close_boxes
fi
click id:1003 "$MAIN"
wait_bytes capture.bin 3000 || fail "Start sent nothing once the printer was back"
check "the receipt reached the printer" "$(sha256sum < receipt.prn)" \
  "$(head -c 3000 capture.bin | sha256sum)"
wait_boxes 1 0
check "no box for a send that worked" "" "$BOXES"
close_boxes

echo "-- 2. device setup, and a restart while idle"
SETUP='^Setup Devices'
# The panel's Setup button, by the keyboard: Tab until it has the focus.
focus_window "$WID"
for _ in $(seq 1 40); do
  [[ $(field_of 8 "$(at id:1123 "$MAIN")") == 1 ]] && break
  xdotool key Tab
  sleep 0.15
done
xdotool key space
click id:1127 "$SETUP"
sleep 1
# Reboot, while the window is connected: the printer drops both its
# connections (data and status), one event.
click row:1126:0 "$SETUP"
click id:1130 "$SETUP"
# The restart's box and Reboot's own come in either order, and the second
# may wait for the first to be closed.
SEEN=""
for _ in 1 2; do
  for _ in $(seq 1 60); do grep -q '^information:' <<< "$SEEN$(boxes)" && break; sleep 0.1; done
  wait_boxes 1 1
  SEEN+=$BOXES$'\n'
  close_boxes 1  # not the box that comes next: it is read first
done
close_boxes
check "Reboot says what it did" 1 "$(count_lines '^information:.*was told to restart' "$SEEN")"
check "a restart while idle: one box" 1 "$(count_lines 'closed the connection' "$SEEN")"
check "the box names the connection" 1 \
  "$(count_lines '^critical:The printer closed the connection. (127.0.0.1:[0-9]*, [a-zA-Z-]*)' "$SEEN")"
click row:1126:0 "$SETUP"
type_into id:1133 "$SETUP" 300.1.2.3
check "every digit typed stays" 300.1.2.3 "$(field_of 7 "$(at id:1133 "$SETUP")")"
click id:1128 "$SETUP"
wait_boxes 5 1
check "300.1.2.3 refused" 1 "$(count_lines '^critical:.*300\.1\.2\.3.*300 is out of range' "$BOXES")"
close_boxes
type_into id:1133 "$SETUP" 0.0.0.0
click id:1128 "$SETUP"
wait_boxes 5 1
check "0.0.0.0 refused" 1 "$(count_lines '^critical:.*0\.0\.0\.0.*cannot be given' "$BOXES")"
close_boxes
type_into id:1133 "$SETUP" 10.0.0.7
click id:1128 "$SETUP"
wait_boxes 5 0.5
check "a new address is asked first" 1 \
  "$(count_lines '^question:Change the address .* from 127.0.0.1 to 10.0.0.7?' "$BOXES")"
click button:Cancel Sendrix
close_boxes
click id:1127 "$SETUP"
for _ in $(seq 1 50); do [[ -n $(at row:1126:0 "$SETUP") ]] && break; sleep 0.1; done
check "Cancel: the device kept its address" 127.0.0.1 \
  "$(field_of 7 "$(at row:1126:0 "$SETUP")" | cut -d'|' -f1)"
click row:1126:0 "$SETUP"
type_into id:1133 "$SETUP" 10.0.0.7
click id:1128 "$SETUP"
wait_boxes 5 0.5
click button:OK Sendrix
sleep 5  # the device's restart, then the new search
close_boxes
check "OK: the device has its new address" 10.0.0.7 \
  "$(field_of 7 "$(at row:1126:0 "$SETUP")" | cut -d'|' -f1)"
click id:1 "$SETUP"

echo "-- 3. the printer restarts during a firmware download"
type_into id:1002 "$MAIN" "$WORK/firmware.bin"
click id:1005 "$MAIN"
wait_boxes 30 4
if [[ -n "${SENDRIX_XVFB_BOX_SHOT:-}" ]]; then
  import -window "$(xdotool search --onlyvisible --name '^Sendrix$' | head -n 1)" \
    "$SENDRIX_XVFB_BOX_SHOT"
fi
check "one box for the restart" 1 "$(count_lines . "$BOXES")"
check "it names the connection and what to do" 1 \
  "$(count_lines '^critical:Firmware download: .*closed the connection. (127.0.0.1:[0-9]*, [a-zA-Z-]*).*download the firmware again' "$BOXES")"
close_boxes
stop_sim

echo "-- 4. the serial port goes away and comes back"
start_pty_sim
SERIAL_SIM=$SIM_PID
click id:1014 "$MAIN"
wait_boxes 2 0
check "the printer's port opens" "" "$BOXES"
stop_sim  # the pseudo-terminal and its link go away
click id:1003 "$MAIN"
wait_boxes 5 1
check "Start says the port is gone" 1 "$(count_lines '^critical:' "$BOXES")"
close_boxes
check "Start is not greyed" 1 "$(field_of 5 "$(at id:1003 "$MAIN")")"
click id:1014 "$MAIN"
wait_boxes 3 1
close_boxes
check "Serial is still selected" 1 "$(field_of 6 "$(at id:1014 "$MAIN")")"
start_pty_sim
click id:1014 "$MAIN"
type_into id:1001 "$MAIN" "41 42 43"
click id:1027 "$MAIN"
wait_bytes serial.bin 3 || fail "the string did not reach the port that came back"
wait_boxes 1 0
check "no box once the port is back" "" "$BOXES"
close_boxes
[[ $SERIAL_SIM != "$SIM_PID" ]] || fail "the printer was not restarted"

"$WM_CLOSE" "$WID" || fail "the close request was not sent"
for _ in $(seq 1 200); do kill -0 "$APP_PID" 2> /dev/null || break; sleep 0.05; done
if kill -0 "$APP_PID" 2> /dev/null; then
  fail "the window did not close"
else
  wait "$APP_PID"
  check "exit status" 0 "$?"
fi
check "the interface saved" '"Interface Type"=dword:00000000' "$(grep '"Interface Type"' "$REG")"
stop_sim
finish
