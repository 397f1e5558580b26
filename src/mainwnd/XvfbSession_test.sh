#!/usr/bin/env bash
# An operator's session on a real X server (Xvfb, no window manager), with a
# real pointer and keys (XTest, through xdotool), against the virtual printer
# echoing every byte on loopback. It crosses the features as a working day
# does: strings sent and answered, Clear Buffer, more answers, the Time
# column turned on, Save As accepting the offered name (still the raw bytes); long strings (86 and 64 non-printable bytes)
# typed, sent and switched ASCII -> Hex -> ASCII; the string and file
# history managers opened, saved to and loaded from a history file, and
# closed by their Close button and by Escape; the window closed; then a batch
# run naming its file relative to the current folder. What the printer got,
# the files written and the settings saved must show that nothing was lost,
# cut or reordered.
#
#   XvfbSession_test.sh SENDRIX PRINTER_SIM WM_CLOSE
#
# Controls are found at their place in the window, measured from the corner
# they are laid out against (the window opens at its template size, with
# Qt's Fusion style and the default font of the test machine).
set -uo pipefail
SENDRIX=$1
WM_CLOSE=$3
source "$(dirname "$0")/../testsupport/EndToEndFixtures.sh" "$2"
start_xvfb 1280x1024

keys() { xdotool key --delay 30 "$@"; }
typed() { xdotool type --delay 5 "$1"; }
# Clicks at ($2, $3) in window $1; negative values count from the right or
# bottom edge.
click() {
  # shellcheck disable=SC2034  # set by the eval, not all of them used
  local X Y WIDTH HEIGHT WINDOW SCREEN
  eval "$(xdotool getwindowgeometry --shell "$1")"
  local x=$2 y=$3
  [[ $x -lt 0 ]] && x=$((WIDTH + x))
  [[ $y -lt 0 ]] && y=$((HEIGHT + y))
  xdotool mousemove --sync $((X + x)) $((Y + y)) click 1
  sleep 0.3
}
# The id of the visible window whose name matches $1, waiting up to 10 s.
window_named() { timeout 10 xdotool search --sync --onlyvisible --name "$1" 2>/dev/null | head -n 1; }
# Answers every message box ("Sendrix") with Enter; sets BOXES to how many.
BOXES=0
answer_boxes() {
  local box
  for _ in $(seq 1 40); do
    box=$(xdotool search --onlyvisible --name '^Sendrix$' 2>/dev/null | head -n 1)
    [[ -z "$box" ]] && return 0
    BOXES=$((BOXES + 1))
    xdotool windowfocus --sync "$box" key Return
    sleep 0.3
  done
}
# Waits (at most 5 s) until no visible window's name matches $1; 1 if one stays.
wait_gone() {
  for _ in $(seq 1 50); do
    xdotool search --onlyvisible --name "$1" > /dev/null 2>&1 || return 0
    sleep 0.1
  done
  return 1
}
# Waits (at most 10 s) until file $1 holds exactly the bytes of file $2.
wait_same() {
  for _ in $(seq 1 100); do
    cmp -s "$1" "$2" && return 0
    sleep 0.1
  done
  return 1
}
# Types $1 into the data string box and sends it with Enter.
send_string() {
  click "$WID" "$STRING_X" "$STRING_Y"
  keys ctrl+a
  typed "$1"
  keys Return
  sleep 0.5
}

# Where the controls are (see the header).
STRING_X=200; STRING_Y=268         # the data string box, from the top left
ASCII_X=40; ASCII_Y=296             # the ASCII and Hex radios
HEX_X=100; HEX_Y=296
CLEAR_X=50; CLEAR_Y=-23             # Clear Buffer, Save As: bottom left
SAVE_X=136; SAVE_Y=-23
TIME_X=325; TIME_Y=-23              # Show Time, right of Show USM
MENU_X=-25; MENU_Y=-23              # the window menu button, bottom right
CLOSE_X=-50; CLOSE_Y=-22            # a history manager's Close, bottom right

start_sim --echo --capture capture.bin
mkdir -p "$XDG_CONFIG_HOME/sendrix"
cat > "$REG" <<REG
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVEL\\SENDRIX]
"String Mode"=dword:00000000

[HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVEL\\SENDRIX\\Strings History]
"Nb String History"=dword:00000003
"Hist String #0"="31 "
"Hist String #1"="32 "
"Hist String #2"="33 "

[HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVEL\\SENDRIX\\Communication Parameters]
"Interface Type"=dword:00000002
"Ethernet IP Address"=dword:7f000001
"Ethernet Port"=dword:$(printf '%08x' "$PORT")
"Real Time Ethernet Port"=dword:$(printf '%08x' "$RT_PORT")
"USM Ethernet Port"=dword:$(printf '%08x' "$USM_PORT")
REG

QT_QPA_PLATFORM=xcb QT_STYLE_OVERRIDE=Fusion "$SENDRIX" > sendrix.out 2> sendrix.err &
APP_PID=$!
OTHER_PIDS+=("$APP_PID")
WID=$(timeout 30 xdotool search --sync --onlyvisible --name '^Sendrix V' | head -n 1)
[[ -n "$WID" ]] || { echo "no window" >&2; cat sendrix.err >&2; exit 1; }
timeout 10 xdotool windowfocus --sync "$WID" || fail "the window took no focus"
RX=$SENDRIX_HOME/Output/RxData.bin

# Receive, Clear Buffer, receive, Save As: the received-data file and the
# saved copy hold exactly what came after the clear.
send_string "AB"
printf 'AB' > want.bin
wait_same "$RX" want.bin || fail "before the clear: RxData.bin is not 'AB'"
click "$WID" "$CLEAR_X" "$CLEAR_Y"
: > empty.bin
wait_same "$RX" empty.bin || fail "Clear Buffer left $(stat -c %s "$RX") bytes in RxData.bin"
send_string "C"
printf 'C' > want.bin
wait_same "$RX" want.bin || fail "after the clear: RxData.bin holds '$(cat "$RX")', not 'C'"
click "$WID" "$TIME_X" "$TIME_Y"  # the Time column: shown, never saved as data
click "$WID" "$SAVE_X" "$SAVE_Y"
SAVE=$(window_named '^Save')
if [[ -n "$SAVE" ]]; then
  xdotool windowfocus --sync "$SAVE" key Return  # the name offered
  wait_gone '^Save' || { fail "Save As did not take the name it offered"; keys Escape; }
else
  fail "Save As showed no file dialog"
fi
answer_boxes
SAVED=""
for _ in $(seq 1 50); do  # the copy is written once the dialog has gone
  SAVED=$(find "$SENDRIX_HOME/Output" -maxdepth 1 -name 'RxData-*.bin' | head -n 1)
  [[ -n "$SAVED" ]] && break
  sleep 0.1
done
if [[ -z "$SAVED" ]]; then
  fail "Save As wrote no RxData-<date>.bin in the Output folder ($(ls -A))"
else
  check "Save As after the clear" "C" "$(cat "$SAVED")"
fi

# Long strings: 86 bytes typed in ASCII, then in Hex 64 bytes that are all
# non-printable; ASCII -> Hex -> ASCII keeps every entry.
LONG=$(printf 'z%.0s' $(seq 1 86))
send_string "$LONG"
click "$WID" "$HEX_X" "$HEX_Y"
answer_boxes
CONTROLS=$(printf '01 %.0s' $(seq 1 64))
send_string "$CONTROLS"
answer_boxes
click "$WID" "$ASCII_X" "$ASCII_Y"
answer_boxes
check "error boxes for long strings" 0 "$BOXES"
printf 'ABC%s' "$LONG" > want.bin
head -c 64 /dev/zero | tr '\0' '\1' >> want.bin
wait_same capture.bin want.bin || fail "the printer got $(stat -c %s capture.bin) bytes, not the strings"

# The string history manager: closed by its button, by Escape, after saving
# and loading a history file; the order survives every one.
MANAGER=""
open_manager() { # $1: Down presses to the item; $2: the title
  click "$WID" "$MENU_X" "$MENU_Y"
  local downs=()
  for _ in $(seq 1 "$1"); do downs+=(Down); done
  keys "${downs[@]}" Return
  MANAGER=$(window_named "$2")
  [[ -n "$MANAGER" ]] || fail "no manager '$2'"
}
open_manager 1 '^Manage commands history'
[[ -n "$MANAGER" ]] && click "$MANAGER" "$CLOSE_X" "$CLOSE_Y"
open_manager 1 '^Manage commands history'
[[ -n "$MANAGER" ]] && { xdotool windowfocus --sync "$MANAGER"; keys Escape; sleep 0.3; }
open_manager 1 '^Manage commands history'
if [[ -n "$MANAGER" ]]; then
  # An edit that is no data string is refused where it is typed.
  xdotool windowfocus --sync "$MANAGER"
  keys Down F2 ctrl+a
  typed '\xZZ'
  keys Return
  window_named '^Sendrix$' > /dev/null
  BOXES=0
  answer_boxes
  check "refusals of an invalid edit" 1 "$BOXES"
  xdotool windowfocus --sync "$MANAGER"
  keys Tab  # from the list to Add, Delete, Save as
  keys Tab Tab space
  DIALOG=$(window_named '^Save Ini files')
  [[ -n "$DIALOG" ]] && { keys ctrl+a; typed "$WORK/hist"; keys Return; sleep 0.5; }
  keys Tab space
  DIALOG=$(window_named '^Save Ini files')
  [[ -n "$DIALOG" ]] && { keys ctrl+a; typed "$WORK/hist.ini"; keys Return; sleep 0.5; }
  xdotool windowfocus --sync "$MANAGER"
  keys Escape
  sleep 0.3
fi
close_stray_managers() {
  local stray
  wait_gone '^Manage ' && return 0
  for stray in $(xdotool search --onlyvisible --name '^Manage ' 2>/dev/null); do
    fail "a history manager stayed open"
    "$WM_CLOSE" "$stray"
    sleep 0.5
  done
}
close_stray_managers
check "history file: newest first" "$(printf '\\x01%.0s' $(seq 1 64))|$LONG|C|AB|1|2|3|" \
  "$(sed -n 's/^Hist String #[0-9]*=\(.*\)$/\1/p' hist.ini | tr -d '\r' | tr '\n' '|')"

# The file history manager: Add, then Close, adds nothing.
open_manager 2 '^Manage files history'
if [[ -n "$MANAGER" ]]; then
  xdotool windowfocus --sync "$MANAGER"
  keys Tab space  # Add
  click "$MANAGER" "$CLOSE_X" "$CLOSE_Y"
fi
close_stray_managers

"$WM_CLOSE" "$WID" || fail "the close request was not sent"
for _ in $(seq 1 200); do kill -0 "$APP_PID" 2>/dev/null || break; sleep 0.05; done
if kill -0 "$APP_PID" 2>/dev/null; then
  fail "the window did not close"
else
  wait "$APP_PID"
  check "exit status" 0 "$?"
fi
check "strings history saved" "$(printf '01 %.0s' $(seq 1 64))|$(printf '7A %.0s' $(seq 1 86))|43 |41 42 |31 |32 |33 |" \
  "$(sed -n 's/^"Hist String #[0-9]*"="\(.*\)"$/\1/p' "$REG" | tr '\n' '|')"
grep -q '"Hist File #' "$REG" && fail "files history: $(grep '"Hist File #' "$REG")"
check "Time column saved" '"Show Receive Time"=dword:00000001' \
  "$(grep -o '"Show Receive Time"=dword:[0-9a-f]*' "$REG")"

# A batch run names its file relative to the current folder: the history
# keeps the absolute path.
head -c 1000 /dev/urandom > receipt.prn
(unset DISPLAY; timeout 60 "$SENDRIX" receipt.prn -M:T -I:T -A:127.0.0.1 "-O:$PORT" \
  > batch.out 2> batch.err) || fail "batch run: exit $?"
check "batch file history" "$WORK/receipt.prn" \
  "$(sed -n 's/^"Hist File #0"="\(.*\)"$/\1/p' "$REG")"
stop_sim
finish
