#!/usr/bin/env bash
# Expected replies (-E:PATTERN, -T:MS) as a script uses them: headless
# sendrix against the virtual printer on loopback. A reply that is met (also
# through wildcards, and one that spans the printer's separate answers)
# keeps the action's exit status; one that is not met gives exit 4 after
# about MS ms with the bytes that did come; a pattern that is no hex is
# refused before anything is sent. One run also writes the JSON Lines log
# (-J:), whose every line must be one of the log's objects. Last, the user
# guide's paper check (docs/examples/paper-check.sh) against a printer with
# paper near its end and one out of paper.
#
#   ExpectedReply_test.sh SENDRIX PRINTER_SIM
set -uo pipefail
SENDRIX=$1
PAPER_CHECK=$(realpath "$(dirname "$0")/../../docs/examples/paper-check.sh")
source "$(dirname "$0")/../testsupport/EndToEndFixtures.sh" "$2"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

# Runs sendrix with the TCP options (bounded); sets RC and MS (its run time).
run() {
  local start
  start=$(date +%s%N)
  timeout 60 "$SENDRIX" "$@" -I:T -A:127.0.0.1 "-O:$PORT" > out.txt 2> err.txt
  RC=$?
  MS=$((($(date +%s%N) - start) / 1000000))
}

start_sim
# DLE EOT 4 is answered 12 (paper present), DLE EOT 1 with 16.
run "10 04 04" -M:X -E:12
check "met: exit" 0 "$RC"
run "10 04 01 10 04 04" -M:X "-E:1? ??" -T:2000
check "wildcards, two answers: exit" 0 "$RC"
run "10 04 01 10 04 04" -M:X -E:1612 -T:2000
check "spaces optional: exit" 0 "$RC"
grep -q '^Sendrix: expected' err.txt && fail "met, yet: $(cat err.txt)"

# Not met: exit 4, after the wait and not much later, saying what came.
# The JSON Lines log tells the same story, one valid object per line.
run "10 04 04" -M:X -E:7F -T:700 -J:run.jsonl
check "not met: exit" 4 "$RC"
check "not met: message" "Sendrix: expected reply 7F not received within 700 ms; received: 12" \
  "$(grep '^Sendrix: ' err.txt)"
((MS >= 700 && MS < 15000)) || fail "not met: took $MS ms, the wait is 700 ms"
grep -q '^data 12' out.txt || fail "not met: the reply's row is missing from stdout"
LINE='^\{"t":"[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3}Z","event":"[a-z]+"'
LINE+='(,"[a-z]+":("[^"\\]*"|[0-9]+))*\}$'
grep -Evq "$LINE" run.jsonl && fail "json: lines that are not the log's objects: $(grep -Ev "$LINE" run.jsonl)"
EVENTS=$(sed -n 's/.*"event":"\([a-z]*\)".*/\1/p' run.jsonl | tr '\n' ' ')
[[ $EVENTS == "start "*" done " && $EVENTS == *" rx "* && $EVENTS == *" tx "* &&
  $EVENTS == *" status "* ]] ||
  fail "json: events '$EVENTS'"
grep -q "\"event\":\"start\",\"action\":\"send-hex-string\",\"interface\":\"tcp\",\"target\":\"127.0.0.1:$PORT\"}" \
  run.jsonl || fail "json: start line: $(head -1 run.jsonl)"
grep -q '"event":"rx","channel":"data","hex":"12"}$' run.jsonl || fail "json: no rx of the reply"
grep -q '"event":"status","source":"DLE EOT 4","words":"[^"]*paper[^"]*"}$' run.jsonl ||
  fail "json: no status of the reply: $(grep '"status"' run.jsonl)"
grep -q '"event":"tx","bytes":3,"pass":1}$' run.jsonl || fail "json: tx line: $(grep '"tx"' run.jsonl)"
grep -q '"event":"done","outcome":"reply-not-received","exit":4}$' run.jsonl ||
  fail "json: done line: $(tail -1 run.jsonl)"

# A failed action keeps its own status; no reply is awaited.
run missing.prn -M:T -E:12
check "failed action: exit" 1 "$RC"

# Refused before anything is sent: no hex.
run "10 04 04" -M:X -E:1G
check "bad pattern: exit" 2 "$RC"
grep -q '^Sendrix: .*-E:1G' err.txt || fail "bad pattern: no message naming it: $(cat err.txt)"
stop_sim
# Two runs of three bytes, two of six; the refused ones sent nothing.
check "bytes the printer got" 18 "$(sed -n 's/^summary bytes=\([0-9]*\).*/\1/p' <<< "$SUMMARY")"

# A file echoed back arrives in several reads (the file goes in 16 KiB
# pieces); the marker straddles the first piece's end.
start_sim --echo
{ head -c 16382 /dev/zero; printf '\xab\xcd\xef'; head -c 20000 /dev/zero; } > echo.prn
run echo.prn -M:T "-E:AB CD EF" -T:3000
check "echo across reads: exit" 0 "$RC"
stop_sim

# The user guide's CI step: passes with paper (also near its end), fails the
# build with exit 4 when the printer reports paper out.
for state in paper-near-end paper-out; do
  start_sim --state "$state"
  PATH=$(dirname "$SENDRIX"):$PATH PORT=$PORT timeout 60 sh "$PAPER_CHECK" > out.txt 2> err.txt
  RC=$?
  stop_sim
  if [[ $state == paper-out ]]; then
    check "paper check, $state: exit" 4 "$RC"
    check "paper check, $state: message" \
      "Sendrix: expected reply 1? not received within 2000 ms; received: 7E" "$(grep '^Sendrix: ' err.txt)"
  else
    check "paper check, $state: exit" 0 "$RC"
  fi
done
finish
