#!/usr/bin/env bash
# A serial port that does not open says why and what to do, on stderr as in
# the window's box. Headless sendrix against the virtual printer's
# pseudo-terminal, given to root and the group dialout with mode 0660:
#  - run as an unprivileged user (nobody, no supplementary groups) it is
#    refused, and the message names the group and the command that fixes it;
#  - run as root while another process holds the port's lock, the message
#    names that process as /proc shows it.
# Both must exit 1 and send nothing. Needs root (to give the pty away and to
# change user with setpriv); without it the test says so and is skipped
# (exit 77). Every run is under a time-out, the printer and the holder are
# ended by their pids.
#
#   PortPermission_test.sh SENDRIX PRINTER_SIM
set -uo pipefail
SENDRIX=$(realpath "$1")
SIM=$(realpath "$2")
SKIP=77
skip() { echo "SKIP: $*"; exit $SKIP; }
[[ $(id -u) == 0 ]] || skip "needs root to give the pseudo-terminal to the group dialout"
command -v setpriv > /dev/null || skip "no setpriv to run as an unprivileged user"
getent group dialout > /dev/null || skip "no group dialout"
NOBODY_UID=$(id -u nobody 2>/dev/null) || skip "no user nobody"
NOBODY_GID=$(id -g nobody)
if ! setpriv --reuid="$NOBODY_UID" --regid="$NOBODY_GID" --clear-groups test -x "$SENDRIX"; then
  skip "the user nobody cannot reach $SENDRIX"
fi

WORK=$(mktemp -d)
SIM_PID=""
HOLDER_PID=""
FAILS=0
SLEEPER_PID=""
cleanup() {
  [[ -n $HOLDER_PID ]] && kill -KILL "$HOLDER_PID" "$SLEEPER_PID" 2>/dev/null
  [[ -n $SIM_PID ]] && kill -KILL "$SIM_PID" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; FAILS=$((FAILS + 1)); }
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
chmod 0755 "$WORK"
cd "$WORK" || exit 1

"$SIM" --no-tcp --pty "$WORK/ttySIM" --exit-after-s 60 > sim.out 2> sim.err &
SIM_PID=$!
for _ in $(seq 1 100); do grep -q '^ready ' sim.out && break; sleep 0.05; done
grep -q '^ready ' sim.out || { echo "FAIL: the virtual printer did not start" >&2; exit 1; }
SLAVE=$(readlink "$WORK/ttySIM")
chgrp dialout "$SLAVE" && chmod 0660 "$SLAVE"

# run_sendrix USER_PREFIX...: a fresh home each time, owned by whoever runs.
run_sendrix() {
  local home
  home=$(mktemp -d -p "$WORK")
  chmod 0777 "$home"
  SENDRIX_HOME=$home/home XDG_CONFIG_HOME=$home/config SENDRIX_EXTRA_SERIAL_PORTS=$WORK/ttySIM \
    timeout -k 2 30 "$@" "$SENDRIX" "1B 40" -M:X -I:R "-O:$WORK/ttySIM" -B:9600 -P:N -H:N \
    > out.txt 2> err.txt
}

run_sendrix setpriv --reuid="$NOBODY_UID" --regid="$NOBODY_GID" --clear-groups
RC=$?
[[ $RC == 1 ]] || fail "unprivileged: exit $RC, expected 1"
WANT="Sendrix: Cannot open $WORK/ttySIM: permission denied; add yourself to the group dialout: sudo usermod -aG dialout \$USER, then log in again."
grep -qxF "$WANT" err.txt || fail "unprivileged: no fix named: $(grep '^Sendrix' err.txt)"

# Another program holds the port: flock(1) keeps its lock while its child
# sleeps; both are ended by pid below.
flock -n "$SLAVE" sleep 60 > /dev/null 2>&1 &
HOLDER_PID=$!
for _ in $(seq 1 100); do grep -q "FLOCK.* $HOLDER_PID " /proc/locks && break; sleep 0.05; done
SLEEPER_PID=$(cat "/proc/$HOLDER_PID/task/$HOLDER_PID/children" 2>/dev/null)
run_sendrix
RC=$?
[[ $RC == 1 ]] || fail "busy: exit $RC, expected 1"
WANT="Sendrix: The port $WORK/ttySIM is busy: it is held by flock (process $HOLDER_PID)."
grep -qxF "$WANT" err.txt || fail "busy: holder not named: $(grep '^Sendrix' err.txt)"
{
  kill -KILL "$HOLDER_PID" "$SLEEPER_PID"
  wait "$HOLDER_PID"
} 2> /dev/null
HOLDER_PID=""
SLEEPER_PID=""

kill -TERM "$SIM_PID"
for _ in $(seq 1 60); do kill -0 "$SIM_PID" 2>/dev/null || break; sleep 0.05; done
wait "$SIM_PID" 2>/dev/null
SIM_PID=""
grep -q '^summary bytes=0 ' sim.out || fail "the printer received bytes: $(grep '^summary' sim.out)"

[[ $FAILS -eq 0 ]] && echo "all passed"
exit $((FAILS > 0))
