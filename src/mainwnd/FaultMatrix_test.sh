#!/usr/bin/env bash
# The fault matrix: headless sendrix in batch mode against the virtual
# printer told to misbehave, one row per fault, a file transfer (T) or a
# firmware download (D), over TCP/IP or the serial line (a pseudo-terminal).
# Each row checks the exit status, the error text on stderr and in the HTML
# log, that the job ended once (WM_TRANSFER_DONE, from the SENDRIX_DEBUG
# lines), that every thread that started stopped and the process ended, and
# that the run kept within its bound. Every run is under a hard time-out and
# every printer is killed by its pid. Rows run four at a time.
#
#   FaultMatrix_test.sh SENDRIX PRINTER_SIM
set -uo pipefail
SENDRIX=$(realpath "$1")
SIM=$(realpath "$2")
# The table of errors and exit statuses scripts read (by action).
DOC=$(realpath "$(dirname "$0")/../../docs/batch-mode.md")
SRC=$(realpath "$(dirname "$0")/..")
WORK=$(mktemp -d)
LANES=4
cleanup() {
  for pidfile in "$WORK"/*/sim.pid; do
    [[ -f $pidfile ]] && kill -KILL "$(cat "$pidfile")" 2>/dev/null
  done
  rm -rf "$WORK"
}
trap cleanup EXIT
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

# name | mode | link | printer options | exit | jobs ended | bound s | text
# [| String: a file in the work folder, or the data string of mode X]
ROWS=(
  "NAK at erase|D|tcp|--fault nak-erase|1|1|20|The printer refused to erase its flash."
  "NAK at a block|D|tcp|--fault nak-block=1|1|1|20|The printer refused a block header."
  "NAK at a data frame|D|tcp|--fault nak-data=3|1|1|20|The printer refused a data frame."
  "NAK at check CRC|D|tcp|--fault nak-crc|1|1|20|CRC mismatch: the firmware in the flash is not what was sent."
  "silent at switch|D|tcp|--fault silent=switch|0|1|20|-"
  "silent at size|D|tcp|--fault silent=size|1|1|20|Firmware download: the printer did not answer the flash size request."
  "silent at erase|D|tcp|--fault silent=erase|1|1|60|Firmware download: the printer did not answer the erase command."
  "silent at a block|D|tcp|--fault silent=block:1|1|1|25|Firmware download: the printer did not answer a block header."
  "silent at a data frame|D|tcp|--fault silent=data:3|1|1|25|Firmware download: the printer did not answer a data frame."
  "silent at check CRC|D|tcp|--fault silent=crc|1|1|25|Firmware download: the printer did not answer the CRC check."
  "silent at read CRC|D|tcp|--fault silent=readcrc|1|1|25|Firmware download: the CRC reply did not arrive complete."
  "short read CRC|D|tcp|--fault short-readcrc|1|1|25|Firmware download: the CRC reply did not arrive complete."
  "flash too small|D|tcp|--flash-size-code 0|1|1|20|The firmware image is larger than the printer's flash."
  "garbage at erase|D|tcp|--fault garbage=erase|1|1|20|Firmware download: unexpected answer to the erase command."
  "garbage at a block|D|tcp|--fault garbage=block|1|1|20|Firmware download: unexpected answer to a block header."
  "garbage at a data frame|D|tcp|--fault garbage=data|1|1|20|Firmware download: unexpected answer to a data frame."
  "garbage at check CRC|D|tcp|--fault garbage=crc|1|1|20|Firmware download: unexpected answer to the CRC check."
  "XON/XOFF storm|D|tcp|--fault xonxoff|0|1|20|-"
  "drop after N bytes|T|tcp|--fault drop-after=200000|1|1|25|File transfer failed: not every byte reached the printer."
  "drop after N bytes|D|tcp|--fault drop-after=70000|1|1|25|Firmware download: the printer did not answer a data frame."
  "throttled printer|T|tcp|--fault throttle=100000|0|1|25|-"
  "throttled printer|D|tcp|--fault throttle=100000|0|1|25|-"
  "refused connection|T|tcp|--fault refuse|1|0|20|Connection refused"
  "refused connection|D|tcp|--fault refuse|1|0|20|Connection refused"
  "refused connection|X|tcp|--fault refuse|1|0|20|Connection refused|1B 40"
  "closes after a string|X|tcp|--fault drop-after=2|1|1|20|The printer closed the connection.|1B 40 41 42"
  "string sent|X|tcp||0|1|20|-|1B 40 41 42"
  "missing file|T|tcp||1|0|20|The file could not be opened.|missing.prn"
  "empty file|T|tcp||1|0|20|The file is empty.|empty.prn"
  "firmware name|D|tcp||1|0|20|The firmware file name must contain|short.prn"
  "firmware size|D|tcp||1|0|20|The firmware file size is not a multiple of 1024 bytes.|odd.bin"
  "invalid hex string|X|tcp||1|0|20|Invalid data string|1B 4G"
  "empty string|X|tcp||1|0|20|The data string holds no byte to send.|"
  "restart mid-transfer|T|tcp|--fault restart-after=50000|1|1|25|File transfer failed: not every byte reached the printer."
  "restart mid-transfer|D|tcp|--fault restart-after=70000|1|1|25|Firmware download: the printer did not answer a data frame."
  "restart mid-transfer|D|pty|--fault restart-after=70000|1|1|25|Firmware download: the printer did not answer a data frame."
  "pty hang-up|T|pty|--fault hangup-after=200000|1|1|25|File transfer failed: not every byte reached the printer."
  "pty hang-up|D|pty|--fault hangup-after=70000|1|1|25|Firmware download: the printer did not answer a data frame."
)

# The serial list: UARTs, USB and Bluetooth serial ports, then the extra
# paths; a link name without a trailing number comes last.
count_serial_ports() {
  local n=0 t
  for t in /sys/class/tty/ttyS*; do
    [[ -r $t/type && $(cat "$t/type") != 0 ]] && n=$((n + 1))
  done
  n=$((n + $(find /sys/class/tty -maxdepth 1 \( -name 'ttyUSB*' -o -name 'ttyACM*' \
    -o -name 'rfcomm*' \) 2>/dev/null | wc -l)))
  echo "$n"
}
SERIAL_POSITION=$(($(count_serial_ports) + 1))

head -c $((32 * 1024 * 1024)) /dev/urandom > "$WORK/long.prn"  # beyond the loopback buffers
head -c 200000 /dev/urandom > "$WORK/short.prn"
head -c $((3 * 65536)) /dev/urandom > "$WORK/firmware.bin"
head -c 1000 /dev/urandom > "$WORK/odd.bin"
: > "$WORK/empty.prn"

# run_case N: runs row N in $WORK/N and writes its result to $WORK/N/result.
run_case() {
  local n=$1 name mode link options status wantDone bound text arg
  IFS='|' read -r name mode link options status wantDone bound text arg <<< "${ROWS[$n]}"
  local dir=$WORK/$n problems=()
  mkdir -p "$dir/config/sendrix"
  cd "$dir" || return
  export SENDRIX_HOME=$dir/home XDG_CONFIG_HOME=$dir/config SENDRIX_DEBUG=1
  printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVEL\\SENDRIX]\r\n"Create Log File"=dword:00000001\r\n' \
    > config/sendrix/sendrix.reg
  local faces=(--main-port 0 --rt-port 0 --usm-port 0)
  [[ $link == pty ]] && faces=(--no-tcp --pty "$dir/ttySIM")
  # shellcheck disable=SC2086 # the options are words
  "$SIM" "${faces[@]}" --erase-ms 10 --exit-after-s 90 $options > sim.out 2> sim.err &
  local sim=$!
  echo "$sim" > sim.pid
  for _ in $(seq 1 100); do grep -q '^ready ' sim.out && break; sleep 0.05; done
  local port args file
  port=$(sed -n 's/^ready main=\([0-9]*\).*/\1/p' sim.out)
  if [[ $link == pty ]]; then
    export SENDRIX_EXTRA_SERIAL_PORTS=$dir/ttySIM
    args=(-I:R "-O:$SERIAL_POSITION" -B:115200 -H:N)
  else
    args=(-I:T -A:127.0.0.1 "-O:$port")
  fi
  case $mode$options in
    X*) file=$arg ;;
    T*throttle* | T*restart*) file=$WORK/short.prn ;;  # fits in the kernel's buffers
    T*) file=$WORK/long.prn ;;
    *) file=$WORK/firmware.bin ;;
  esac
  [[ -n $arg && $mode != X ]] && file=$WORK/$arg
  local start end rc seconds
  start=$(date +%s%N)
  timeout -k 2 $((bound + 10)) "$SENDRIX" "$file" "-M:$mode" "${args[@]}" > out.txt 2> err.txt
  rc=$?
  end=$(date +%s%N)
  seconds=$(((end - start) / 1000000))
  kill -TERM "$sim" 2>/dev/null
  for _ in $(seq 1 60); do kill -0 "$sim" 2>/dev/null || break; sleep 0.05; done
  kill -KILL "$sim" 2>/dev/null
  wait "$sim" 2>/dev/null
  rm -f sim.pid

  [[ $rc == "$status" ]] || problems+=("exit $rc, expected $status")
  ((seconds <= bound * 1000)) || problems+=("took ${seconds} ms, bound ${bound} s")
  local log
  log=$(cat home/Output/SendrixLog_*.html 2>/dev/null | sed 's/<[^>]*>//g')
  [[ -n $log ]] || problems+=("no HTML log")
  if [[ $text == - ]]; then
    grep -q '^Sendrix: ' err.txt && problems+=("unexpected message: $(grep -m1 '^Sendrix: ' err.txt)")
  else
    grep -qF "$text" <<< "$(grep '^Sendrix: ' err.txt)" || problems+=("stderr lacks the text")
    grep -qF "$text" <<< "$log" || problems+=("log lacks the text")
  fi
  if [[ $text != - ]] && ! grep -F -- "$text" "$DOC" | grep -qE "^\| (${mode/S/X}|any) \| .* \| $status \|\$"; then
    problems+=("not in the table of docs/batch-mode.md as $mode, exit $status")
  fi
  local ended
  ended=$(grep -c '^\*\* WM_TRANSFER_DONE' err.txt)
  [[ $ended == "$wantDone" ]] || problems+=("WM_TRANSFER_DONE $ended times, expected $wantDone")
  local started stopped
  started=$(sed -n 's/^\*\* *Thread \(.*\) started\r*$/\1/p' err.txt | sort | tr '\n' ',')
  stopped=$(sed -n 's/^\*\* *Thread \(.*\) stopped\r*$/\1/p' err.txt | sort | tr '\n' ',')
  [[ $started == "$stopped" && -n $started ]] || problems+=("threads started [$started] stopped [$stopped]")
  grep -q 'did not stop in time' err.txt && problems+=("a thread did not stop in time")
  if [[ $status == 0 && $text == - ]]; then
    local summary
    summary=$(grep '^summary ' sim.out)
    if [[ $mode == X ]]; then
      [[ $summary == *" bytes=$(($(wc -w <<< "$file"))) "* ]] || problems+=("printer: $summary")
    elif [[ $mode == T ]]; then
      [[ $summary == *" bytes=$(stat -c %s "$file") "* ]] || problems+=("printer: $summary")
    else
      grep -q "^CRC = $(sed -n 's/.* crc=\([0-9A-F]*\).*/\1/p' <<< "$summary")\$" out.txt ||
        problems+=("CRC on stdout differs from the printer's")
    fi
  fi
  local verdict=ok
  ((${#problems[@]} == 0)) || verdict="FAIL: $(IFS=';'; echo "${problems[*]}")"
  printf '%s|%s|%s|%s|%s|%s|%s\n' "$name" "$mode" "$link" "$options" "$rc" "$seconds" "$verdict" \
    > "$dir/result"
}

# The slowest rows first, so that the lanes end together.
ORDER=$(for i in "${!ROWS[@]}"; do echo "$(cut -d'|' -f7 <<< "${ROWS[$i]}") $i"; done |
  sort -rn | cut -d' ' -f2)
WALL_START=$(date +%s)
for i in $ORDER; do
  while (($(jobs -rp | wc -l) >= LANES)); do wait -n; done
  (run_case "$i") &
done
wait
WALL=$(($(date +%s) - WALL_START))

FAILS=0
printf '| %-22s | %s | %-4s | %-31s | %-4s | %-7s | %s\n' case mode link "printer fault" exit "time ms" result
for i in "${!ROWS[@]}"; do
  if [[ -f $WORK/$i/result ]]; then
    IFS='|' read -r name mode link options rc ms verdict < "$WORK/$i/result"
  else
    IFS='|' read -r name mode link options _ <<< "${ROWS[$i]}"
    rc=- ms=- verdict="FAIL: no result"
  fi
  [[ $verdict == ok ]] || FAILS=$((FAILS + 1))
  printf '| %-22s | %-4s | %-4s | %-31s | %-4s | %-7s | %s\n' "$name" "$mode" "$link" "$options" \
    "$rc" "$ms" "$verdict"
done
# Every text of the table is one the program has (up to what stands for a
# value), so the table cannot drift from the code.
while IFS='|' read -r _ action text code _; do
  text=$(sed 's/^ *//; s/ *$//' <<< "$text")
  fixed=${text%%<*}
  fixed=${fixed%%\"*}
  grep -rqF -- "${fixed:0:40}" "$SRC" --include='*.cpp' ||
    { echo "FAIL: docs/batch-mode.md lists \"$text\" (${action// /}, exit${code}), which the program never shows"; FAILS=$((FAILS + 1)); }
done < <(sed -n '/^### Errors and exit statuses, by action/,/^X stands/p' "$DOC" | grep -E '^\| (any|T|D|X) \|')
echo "${#ROWS[@]} rows, $FAILS failed, wall time ${WALL} s"
exit $((FAILS > 0))
