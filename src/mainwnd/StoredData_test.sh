#!/usr/bin/env bash
# What a user owns survives the program: headless sendrix against the
# virtual printer on loopback, with settings files that cannot be read, runs
# at the same time, a batch run in the other string mode, read-only settings,
# "-F:" naming the input, packet mode beside a read-only input, the window
# placement, and a file name that is not UTF-8.
#
#   StoredData_test.sh SENDRIX PRINTER_SIM
set -uo pipefail
SENDRIX=$(realpath "$1")
source "$(dirname "$0")/../testsupport/EndToEndFixtures.sh" "$2"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
CONF=$XDG_CONFIG_HOME/sendrix
TCP=(-I:T -A:127.0.0.1)

run() { # sendrix arguments...; sets RC
  timeout 60 "$SENDRIX" "$@" > out.txt 2> err.txt
  RC=$?
}
send() { run "$@" "${TCP[@]}" "-O:$PORT"; } # to the printer, named on the command line
reg_header() { head -c 36 "$REG"; }
history_has() { grep -qi "\"Hist String #[0-9]*\"=\"$1\"" "$REG"; }
settings() { # the user's file with the lines given (LF)
  mkdir -p "$CONF"
  printf 'Windows Registry Editor Version 5.00\n\n%s\n' "$1" > "$REG"
}
ROOT='[HKEY_LOCAL_MACHINE\SOFTWARE\KORVEL\SENDRIX]'
STRINGS='[HKEY_LOCAL_MACHINE\SOFTWARE\KORVEL\SENDRIX\Strings History]'
COMM='[HKEY_LOCAL_MACHINE\SOFTWARE\KORVEL\SENDRIX\Communication Parameters]'
head -c 20000 /dev/urandom > receipt.prn

start_sim
# An unreadable file is said, kept beside the new one, and never sent on by
# defaults: without -A: the run would connect to 0.0.0.0, that is here.
head -c $((1024 * 1024 + 10)) /dev/zero | tr '\0' '\n' > big.txt
printf '%s\n"Interface Type"=dword:00000002\n' "$COMM" >> big.txt
head -c 5000 /dev/urandom > random.bin
: > empty.reg
for f in empty.reg random.bin big.txt; do
  rm -rf "$CONF"; mkdir -p "$CONF"; cp "$f" "$REG"
  run "41" -M:X -I:T "-O:$PORT"
  check "$f: unread settings send nothing without an address" 1 "$RC"
  grep -q "^Sendrix: The settings file $REG cannot be read" err.txt || fail "$f: not said"
  cmp -s "$f" "$CONF/sendrix.reg.unreadable" || fail "$f: not kept as sendrix.reg.unreadable"
  send "42" -M:X
  check "$f: sent with interface and port named" 0 "$RC"
  check "$f: the new file" "Windows Registry Editor Version 5.00" "$(reg_header)"
done
stop_sim
check "unread settings: bytes the printer got (42 three times)" 3 "$(field bytes)"
# UTF-16BE with its mark is read (on a printer of its own, which tells
# whether the saved interface and port were used).
start_sim
settings "$COMM
\"Interface Type\"=dword:00000002
\"Ethernet IP Address\"=dword:7f000001
\"Ethernet Port\"=dword:$(printf %08x "$PORT")"
iconv -f UTF-8 -t UTF-16BE "$REG" > be.reg && { printf '\xfe\xff'; cat be.reg; } > "$REG"
run "43" -M:X
stop_sim
check "UTF-16BE settings" "0 1" "$RC $(field bytes)"
start_sim

# Eight runs at once, each with its own string: every one is kept, and the
# file parses.
rm -rf "$CONF"
pids=()
for n in 1 2 3 4 5 6 7 8; do
  timeout 60 "$SENDRIX" "5$n" -M:X "${TCP[@]}" "-O:$PORT" > /dev/null 2>&1 &
  pids+=($!)
done
for pid in "${pids[@]}"; do wait "$pid" || fail "a parallel run ended with $?"; done
for n in 1 2 3 4 5 6 7 8; do history_has "5$n " || fail "parallel: 5$n lost"; done
grep -q '"Nb String History"=dword:00000008' "$REG" || fail "parallel: count not 8"
check "parallel: the file" "Windows Registry Editor Version 5.00" "$(reg_header)"

# A batch run in the other string mode keeps the saved strings.
settings "$ROOT
\"String Mode\"=dword:00000000
$STRINGS
\"Nb String History\"=dword:00000001
\"Hist String #0\"=\"1B 74 0D \""
send "41 42" -M:X
history_has "1B 74 0D " || fail "-M:X from ASCII mode lost 1B 74 0D"
send "C" -M:S
history_has "1B 74 0D " || fail "-M:S from Hex mode damaged 1B 74 0D"

# Read-only settings are left as they are and the failed save is said; the
# mode of a writable file is kept.
chmod 640 "$REG"
send "44" -M:X
check "file mode kept" 640 "$(stat -c %a "$REG")"
chmod 444 "$REG"
cp "$REG" before.reg
send "45" -M:X
check "read-only file: mode" 444 "$(stat -c %a "$REG")"
cmp -s before.reg "$REG" || fail "read-only file replaced"
grep -q "could not be saved to $REG: .*read-only" err.txt || fail "read-only file: not said"
chmod 644 "$REG"
chmod 555 "$CONF"
send "46" -M:X
chmod 755 "$CONF"
grep -q "could not be saved.*read-only" err.txt || fail "read-only folder: not said"
cmp -s before.reg "$REG" || fail "read-only folder: file replaced"
# Where permissions really stop the program (root's are not stopped), as
# an unprivileged user in a folder of its own.
# The folder is root's with its write bits on: only the permission check
# stops the save.
if [[ $(id -u) == 0 ]] && command -v setpriv > /dev/null && id nobody > /dev/null 2>&1; then
  mkdir -p nobody/config/sendrix nobody/home && cp before.reg nobody/config/sendrix/sendrix.reg
  chown nobody nobody/home && chmod a+rx "$WORK" nobody/config/sendrix
  setpriv --reuid=nobody --regid=nogroup --clear-groups env XDG_CONFIG_HOME="$WORK/nobody/config" \
    SENDRIX_HOME="$WORK/nobody/home" timeout 60 "$SENDRIX" "47" -M:X "${TCP[@]}" "-O:$PORT" \
    > out.txt 2> err.txt
  grep -q "could not be saved.*read-only" err.txt || fail "unprivileged read-only folder: not said"
  cmp -s before.reg nobody/config/sendrix/sendrix.reg || fail "unprivileged: file replaced"
else
  echo "skipped: no unprivileged user to run as (setpriv, nobody), so no real permission denial"
fi

# -F: naming the file being sent leaves it whole (the refusal is said, and
# a run that said something fails).
cp receipt.prn sent.prn
send sent.prn -M:T "-F:$WORK/sent.prn"
grep -q '^progress 100%' err.txt || fail "-F: the input was not sent"
cmp -s receipt.prn sent.prn || fail "-F: emptied the file being sent"
grep -q 'is the file being sent' err.txt || fail "-F: the input: not said"

# Packet mode leaves nothing beside the input, nor in TMPDIR.
mkdir -p ro tmp && cp receipt.prn ro/ && chmod 555 ro
TMPDIR=$WORK/tmp send ro/receipt.prn -M:T -Q:L
check "packet mode beside a read-only input" 0 "$RC"
check "packet copies left" "" "$(find ro tmp -type f ! -name receipt.prn)"
chmod 755 ro

# A headless run writes no window placement, none saved yet or one saved.
INI=$CONF/sendrix-window.ini
rm -f "$INI"
send "48" -M:X
[[ -e $INI ]] && fail "first headless run wrote a placement"
printf '[WindowState-Summary]\nWindowPlacement=300 200 1\n' > "$INI"
INODE=$(stat -c %i "$INI")  # a save would replace the file
send "49" -M:X
check "saved placement left alone" "$INODE" "$(stat -c %i "$INI")"

# Files do not pile up: a received-data file that is not the default is
# named, and goes at exit when empty; only the newest data logs stay.
OUT=$SENDRIX_HOME/Output
mkdir -p "$OUT"
exec 9> "$OUT/RxData.bin"  # held, as another run would hold it
flock -x 9
send "4A" -M:X
grep -q "^received-data file $OUT/RxData-pid[0-9A-F]*\.bin$" err.txt || fail "spare received-data file not named"
check "spare received-data files left" "" "$(find "$OUT" -maxdepth 1 -name 'RxData-pid*')"
exec 9>&-
printf '%s\n"Log Files Kept"=dword:00000003\n"Create Log File"=dword:00000001\n' "$ROOT" >> "$REG"
for n in 1 2 3 4 5; do send "5$n" -M:X; done
check "data logs kept" 3 "$(find "$OUT" -maxdepth 1 -name 'SendrixLog_*.html' | wc -l)"

# A file name that is not UTF-8 (Latin-1 é) opens.
cp receipt.prn "$(printf 'caf\xe9.prn')"
send "$(printf 'caf\xe9.prn')" -M:T
check "Latin-1 file name" 0 "$RC"
stop_sim
finish
