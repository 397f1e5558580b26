#!/usr/bin/env bash
# The window on a real X server (Xvfb, no window manager), driven by real key
# presses (XTest, through xdotool) as an operator at the keyboard drives it:
# the keys go wherever the X server and Qt put the focus, which the offscreen
# tests cannot show. Sends a file and two data strings to the virtual printer
# on loopback, aborts a long send twice, closes the window by the window manager's
# close request, and checks what the printer got and the settings saved.
#
#   XvfbEndToEnd_test.sh SENDRIX PRINTER_SIM WM_CLOSE
# SENDRIX_XVFB_SHOT=FILE.png keeps a picture of the screen after the strings.
set -uo pipefail
SENDRIX=$1
WM_CLOSE=$3
source "$(dirname "$0")/../testsupport/EndToEndFixtures.sh" "$2"
start_xvfb 1280x1024

# Waits (at most 15 s) until the printer holds at least $1 bytes.
wait_bytes() {
  for _ in $(seq 1 150); do
    [[ $(stat -c %s capture.bin) -ge $1 ]] && return 0
    sleep 0.1
  done
  fail "the printer got $(stat -c %s capture.bin) bytes, not $1"
}
# The window takes the end of a transfer a moment after the printer has the
# last byte; keys pressed before then would meet the disabled controls.
settle() { sleep 1; }
keys() { xdotool key --delay 30 "$@"; }
typed() { xdotool type --delay 10 "$1"; }

# Waits (at most 10 s) until the printer gets nothing more; sets SIZE.
wait_quiet() {
  local last=-1
  for _ in $(seq 1 50); do
    sleep 0.2
    SIZE=$(stat -c %s capture.bin)
    [[ $SIZE -eq $last ]] && return 0
    last=$SIZE
  done
}
# With the long file started when the printer held $1 bytes: aborts it with
# Enter once it is under way, and checks that the printer got a part of it.
long_send_aborted() {
  wait_bytes $(($1 + 200000))
  keys Return
  wait_quiet
  local sent=$((SIZE - $1))
  if [[ $sent -le 0 || $sent -ge 8000000 ]]; then
    fail "abort: $sent bytes of the long file reached the printer"
  elif ! cmp -s <(tail -c +$(($1 + 1)) capture.bin) <(head -c "$sent" long.prn); then
    fail "abort: the printer got other bytes than the long file's first $sent"
  else
    echo "ok: abort after $sent bytes"
  fi
}

head -c 30000 /dev/urandom > receipt.prn
head -c 8000000 /dev/urandom > long.prn
# 2 MB/s: the receipt goes at once, the long file would take 4 s.
start_sim --capture capture.bin --fault throttle=2000000
mkdir -p "$XDG_CONFIG_HOME/sendrix"
cat > "$REG" <<REG
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVEL\\SENDRIX\\Files History]
"Nb Files History"=dword:00000001
"Hist File #0"="$WORK/long.prn"

[HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVEL\\SENDRIX\\Communication Parameters]
"Interface Type"=dword:00000002
"Ethernet IP Address"=dword:7f000001
"Ethernet Port"=dword:$(printf '%08x' "$PORT")
"Real Time Ethernet Port"=dword:$(printf '%08x' "$RT_PORT")
"USM Ethernet Port"=dword:$(printf '%08x' "$USM_PORT")
REG

QT_QPA_PLATFORM=xcb "$SENDRIX" > sendrix.out 2> sendrix.err &
APP_PID=$!
OTHER_PIDS+=("$APP_PID")
WID=$(timeout 30 xdotool search --sync --onlyvisible --name '^Sendrix V' | head -n 1)
[[ -n "$WID" ]] || { echo "no window" >&2; cat sendrix.err >&2; exit 1; }
# What a window manager does for a new window: give it the keyboard.
timeout 10 xdotool windowfocus --sync "$WID" || fail "the window took no focus"

# The focus starts in the file name. Escape closes nothing; Enter there sends
# nothing; Tab, Tab reaches the file's Start button, and Enter sends.
keys Escape ctrl+a
typed "$WORK/receipt.prn"
keys Return Tab Tab Return
wait_bytes 30000
settle

# Down on Start goes to the file list, Tab on to the data string box, where
# Enter sends the string. The focus must come back to the box afterwards:
# the second string is typed into it (left on the Start button, the blank
# would click it and send the first string again).
keys Down Tab
typed "48 45 4C 4C 4F"
keys Return
wait_bytes 30005
settle
keys ctrl+a
typed "42 43"
keys Return
wait_bytes 30007
settle
[[ -n "${SENDRIX_XVFB_SHOT:-}" ]] && import -window root "$SENDRIX_XVFB_SHOT"
check "file, then two strings" \
  "$( (cat receipt.prn; printf 'HELLOBC') | sha256sum | cut -d' ' -f1)" \
  "$(sha256sum < capture.bin | cut -d' ' -f1)"

# Back to the file list, down to the long file, Enter: it is sent, and the
# focus moves to its Start button, now the abort button: Enter aborts. The
# focus stays there: Enter sends the file again, and aborts it again.
keys shift+Tab Down Return
long_send_aborted 30007
settle
keys Return
long_send_aborted "$SIZE"

# The window manager's close: the program ends by itself and saves.
settle
"$WM_CLOSE" "$WID" || fail "the close request was not sent"
for _ in $(seq 1 200); do kill -0 "$APP_PID" 2>/dev/null || break; sleep 0.05; done
if kill -0 "$APP_PID" 2>/dev/null; then
  fail "the window did not close"
else
  wait "$APP_PID"
  STATUS=$?
  check "exit status" 0 "$STATUS"
  [[ $STATUS -eq 0 ]] || tail -n 60 sendrix.err >&2
fi
grep -qi "\"Ethernet Port\"=dword:$(printf '%08x' "$PORT")" "$REG" || fail "TCP port not saved"
grep -q '"Interface Type"=dword:00000002' "$REG" || fail "TCP/IP interface not saved"
check "files history" "$WORK/receipt.prn|$WORK/long.prn|" \
  "$(sed -n 's/^"Hist File #[0-9]*"="\(.*\)"$/\1/p' "$REG" | tr '\n' '|')"
check "strings history" "42 43 |48 45 4C 4C 4F |" \
  "$(sed -n 's/^"Hist String #[0-9]*"="\(.*\)"$/\1/p' "$REG" | tr '\n' '|')"
stop_sim

# A settings file over 1 MiB (its first part still names the printer) is
# said in a box, dismissed with Enter, and on stderr; at the close it is kept
# beside the new one, and the window, on screen, saves its placement.
start_sim
INI=$XDG_CONFIG_HOME/sendrix/sendrix-window.ini
rm -f "$INI"
{ printf 'Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVEL\\SENDRIX\\Communication Parameters]\n'
  printf '"Interface Type"=dword:00000002\n"Ethernet IP Address"=dword:7f000001\n'
  printf '"Ethernet Port"=dword:%08x\n' "$PORT"
  head -c $((1024 * 1024)) /dev/zero | tr '\0' ';'; } > "$REG"
cp "$REG" big.reg
QT_QPA_PLATFORM=xcb "$SENDRIX" > sendrix.out 2> sendrix.err &
APP_PID=$!
OTHER_PIDS+=("$APP_PID")
BOX=$(timeout 30 xdotool search --sync --onlyvisible --name '^Sendrix$' | head -n 1)
[[ -n "$BOX" ]] || fail "no box for the settings file"
grep -q "^Sendrix: The settings file $REG cannot be read: it is larger than 1 MiB" sendrix.err ||
  fail "the settings file: not said on stderr"
timeout 10 xdotool windowfocus --sync "$BOX" && keys Return
WID=$(timeout 30 xdotool search --sync --onlyvisible --name '^Sendrix V' | head -n 1)
settle
"$WM_CLOSE" "$WID" && timeout 10 tail --pid="$APP_PID" -f /dev/null
cmp -s big.reg "$REG.unreadable" || fail "the big settings file was not kept"
grep -qi "\"Ethernet Port\"=dword:$(printf '%08x' "$PORT")" "$REG" || fail "its port not carried over"
[[ -s $INI ]] || fail "the window did not save its placement"
stop_sim
finish
