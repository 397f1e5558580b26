#!/usr/bin/env bash
# A headless run loads nothing of Qt or of a display: while a batch action
# waits for its expected reply, the process's memory map holds no Qt
# library, no platform plugin and no X11/Wayland/EGL library. The same run
# with the program's own -platform offscreen option, and with a DISPLAY
# that is set but offscreen asked for, must stay as lean.
#
#   HeadlessNoQt_test.sh SENDRIX PRINTER_SIM
set -uo pipefail
SENDRIX=$1
source "$(dirname "$0")/../testsupport/EndToEndFixtures.sh" "$2"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
start_sim
TCP=(-I:T -A:127.0.0.1 "-O:$PORT")
GUI_LIBS='libQt6|/platforms/|libxcb|libX11|libwayland|libEGL|libGLX|libxkbcommon'

# Runs one headless action that waits 3 s for a reply that never comes and
# prints every Qt or display library its process mapped meanwhile.
mapped_gui_libs() { # extra arguments...
  "$SENDRIX" "41" -M:S "${TCP[@]}" -E:5A5A -T:3000 "$@" > run.out 2> run.err &
  local pid=$!
  OTHER_PIDS+=("$pid")
  : > maps.txt
  for _ in $(seq 1 40); do
    cat "/proc/$pid/maps" >> maps.txt 2>/dev/null || break
    sleep 0.05
  done
  wait "$pid"
  echo "exit $?" >> run.err
  grep -oE "[^ ]*($GUI_LIBS)[^ ]*" maps.txt | sort -u
}

check "no display" "" "$(mapped_gui_libs)"
check "no display: the reply wait still ends with 4" "exit 4" "$(tail -n 1 run.err)"
check "offscreen asked for" "" "$(DISPLAY=:99 mapped_gui_libs -platform offscreen)"
check "offscreen by environment" "" "$(DISPLAY=:99 QT_QPA_PLATFORM=offscreen mapped_gui_libs)"
finish
