# shellcheck shell=bash
# Shared by the end-to-end scripts, sourced with the virtual printer's path:
#   source EndToEndFixtures.sh PRINTER_SIM
# A work folder (the current folder from here on, removed at exit) holding
# $SENDRIX_HOME and $XDG_CONFIG_HOME; the printer on loopback; the checks.
# At exit every process named in SIM_PID and OTHER_PIDS is ended, by pid.
SIM=$1
WORK=$(mktemp -d)
SIM_PID=""
OTHER_PIDS=()
FAILS=0
cleanup() {
  local pid
  for pid in "$SIM_PID" "${OTHER_PIDS[@]}"; do
    if [[ -n "$pid" ]] && kill -0 "$pid" 2>/dev/null; then
      kill -TERM "$pid"
      for _ in $(seq 1 20); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
      kill -0 "$pid" 2>/dev/null && kill -KILL "$pid"
    fi
  done
  rm -rf "$WORK"
}
trap cleanup EXIT
export SENDRIX_HOME=$WORK/home XDG_CONFIG_HOME=$WORK/config
# shellcheck disable=SC2034  # REG, RT_PORT and USM_PORT are for the scripts that source this
REG=$XDG_CONFIG_HOME/sendrix/sendrix.reg
cd "$WORK" || exit 1

fail() { echo "FAIL: $*" >&2; FAILS=$((FAILS + 1)); }
check() { # name expected actual
  if [[ "$2" != "$3" ]]; then fail "$1: expected '$2', got '$3'"; else echo "ok: $1"; fi
}
# The script's last line: its summary and exit status.
finish() {
  [[ $FAILS -eq 0 ]] && echo "all passed"
  exit $((FAILS > 0))
}

# Starts the printer with extra options; sets PORT (main), RT_PORT, USM_PORT.
start_sim() {
  : > sim.out
  "$SIM" --main-port 0 --rt-port 0 --usm-port 0 --exit-after-s 60 "$@" > sim.out 2> sim.err &
  SIM_PID=$!
  for _ in $(seq 1 100); do grep -q '^ready ' sim.out && break; sleep 0.05; done
  PORT=$(sed -n 's/^ready main=\([0-9]*\).*/\1/p' sim.out)
  # shellcheck disable=SC2034
  RT_PORT=$(sed -n 's/^ready .* rt=\([0-9]*\).*/\1/p' sim.out)
  # shellcheck disable=SC2034
  USM_PORT=$(sed -n 's/^ready .* usm=\([0-9]*\).*/\1/p' sim.out)
  [[ -n "$PORT" ]] || { echo "the virtual printer did not start" >&2; exit 1; }
}
# Stops the printer and sets SUMMARY.
stop_sim() {
  kill -TERM "$SIM_PID"
  for _ in $(seq 1 100); do kill -0 "$SIM_PID" 2>/dev/null || break; sleep 0.05; done
  wait "$SIM_PID" 2>/dev/null
  SIM_PID=""
  SUMMARY=$(grep '^summary ' sim.out)
}
field() { sed -n "s/.* $1=\([0-9A-Fa-f]*\).*/\1/p" <<< "$SUMMARY"; }
# Waits (at most 10 s) until a TCP connection to loopback port $1 is
# established; 1 if none came.
wait_connected() {
  local hex
  hex=$(printf ':%04X' "$1")
  for _ in $(seq 1 200); do
    awk -v p="$hex" '$3 ~ p"$" && $4 == "01" { found = 1 } END { exit !found }' \
      /proc/net/tcp /proc/net/tcp6 2>/dev/null && return 0
    sleep 0.05
  done
  return 1
}
# An X server of this test's own (Xvfb, no window manager) on the first free
# display number, screen $1 (WIDTHxHEIGHT), ended with the other processes;
# further tools the test needs may follow ($2 ...).
start_xvfb() {
  local size=$1 tool
  shift
  unset WAYLAND_DISPLAY
  for tool in Xvfb xdotool "$@"; do
    command -v "$tool" > /dev/null || { echo "$tool is missing: run scripts/setup.sh" >&2; exit 1; }
  done
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3> display.txt > xvfb.log 2>&1 &
  OTHER_PIDS+=($!)
  for _ in $(seq 1 200); do [[ -s display.txt ]] && break; sleep 0.05; done
  [[ -s display.txt ]] || { echo "Xvfb did not start" >&2; cat xvfb.log >&2; exit 1; }
  DISPLAY=:$(head -n 1 display.txt)
  export DISPLAY
}
