#!/usr/bin/env bash
# A batch run connects once, and keeps what the printer sent on that
# connection: the virtual printer sends 1 MiB to the first connection as it
# comes (--stream); every byte must be in the received-data file, and the
# data reader must have started once (a reconnect starts it again; the
# program says so on stderr with SENDRIX_DEBUG).
#
#   ConnectOnce_test.sh SENDRIX PRINTER_SIM
set -uo pipefail
SENDRIX=$1
source "$(dirname "$0")/../testsupport/EndToEndFixtures.sh" "$2"

head -c $((1024 * 1024)) /dev/urandom > stream.bin
head -c 2000 /dev/urandom > receipt.prn
start_sim --stream stream.bin
SENDRIX_DEBUG=1 timeout 60 "$SENDRIX" receipt.prn -M:T -I:T -A:127.0.0.1 "-O:$PORT" -platform offscreen \
  > out.txt 2> err.txt
check "exit status" 0 "$?"
check "every byte the printer sent was kept" "$(sha256sum < stream.bin)" \
  "$(sha256sum < "$SENDRIX_HOME/Output/RxData.bin")"
check "connections made" 1 "$(grep -c '^\*\* Thread Read started' err.txt)"
stop_sim
check "the receipt reached the printer" "$(sha256sum < receipt.prn | cut -d' ' -f1)" "$(field sha256)"
finish
