#!/bin/sh
# A CI step that fails the build when the receipt printer is out of paper.
# DLE EOT 4 (10 04 04) asks for the paper sensor; the answer has bits 5 and
# 6 set (7E) when the roll is out, clear (12, or 1E near its end) when not,
# so any 1? means paper. Not met, sendrix exits 4 and says what came.
#
#   PRINTER=192.0.2.10 PORT=9100 paper-check.sh
set -e
sendrix "10 04 04" -M:X -I:T -A:"${PRINTER:-127.0.0.1}" -O:"${PORT:-9100}" \
  -E:1? -T:2000 -J:paper-check.jsonl -platform offscreen
echo "paper present"
