#!/usr/bin/env bash
# The batch command line's figures, the whole `sendrix` process run headless
# against the virtual printer on loopback TCP:
#   headless_startup_ms      `sendrix -M:` (the syntax help: the whole
#                            start-up and close, no port), start to exit,
#                            median of 9 runs
#   headless_status_run_ms   "10 04 01" -M:X, start to exit, median of 9 runs
#   abort_latency_ms         SIGTERM to exit during a continuous run of a
#                            100-byte file with no delay, median of 5 runs
#   continuous_rss_growth_mib_per_min
#                            the resident memory's growth during such a run,
#                            from 5 s in to the end (--rss-seconds, 120 s)
# One name=value line per figure on stdout; single runs on stderr.
#   headless_bench.sh SENDRIX PRINTER_SIM [--rss-seconds N]
set -uo pipefail
# Absolute: the runs below happen in a folder of their own.
SENDRIX=$(realpath "$1")
SIM=$(realpath "$2")
RSS_SECONDS=120
[[ ${3:-} == --rss-seconds ]] && RSS_SECONDS=$4
WORK=$(mktemp -d "${TMPDIR:-/tmp}/sendrix-headless-bench.XXXXXX")
SIM_PID=""
RUN_PID=""
cleanup() {
  for pid in "$RUN_PID" "$SIM_PID"; do
    [[ -n $pid ]] && kill -KILL "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  done
  rm -rf "$WORK"
}
trap cleanup EXIT
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
export SENDRIX_HOME=$WORK/home XDG_CONFIG_HOME=$WORK/config
cd "$WORK" || exit 1

"$SIM" --main-port 0 --rt-port 0 --usm-port 0 --exit-after-s $((RSS_SECONDS + 300)) > sim.out &
SIM_PID=$!
for _ in $(seq 1 100); do grep -q '^ready ' sim.out && break; sleep 0.05; done
PORT=$(sed -n 's/^ready main=\([0-9]*\).*/\1/p' sim.out)
[[ -n $PORT ]] || { echo "the virtual printer did not start" >&2; exit 1; }
TCP=(-I:T -A:127.0.0.1 "-O:$PORT")
now_ms() { echo $(($(date +%s%N) / 1000000)); }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

timeout 30 "$SENDRIX" "10 04 01" -M:X "${TCP[@]}" > /dev/null 2>&1  # settings and caches made
for _ in $(seq 1 9); do
  start=$(now_ms)
  timeout 30 "$SENDRIX" -M: > /dev/null 2>&1
  echo $(($(now_ms) - start))
done > startup.ms
echo "headless_startup_ms runs: $(tr '\n' ' ' < startup.ms)" >&2
echo "headless_startup_ms=$(median < startup.ms)"

for _ in $(seq 1 9); do
  start=$(now_ms)
  timeout 30 "$SENDRIX" "10 04 01" -M:X "${TCP[@]}" > /dev/null 2>&1
  echo $(($(now_ms) - start))
done > status.ms
echo "headless_status_run_ms runs: $(tr '\n' ' ' < status.ms)" >&2
echo "headless_status_run_ms=$(median < status.ms)"

head -c 100 /dev/urandom > small.prn
# Starts a continuous run; waits until it is sending.
start_continuous() {
  : > run.err
  timeout $((RSS_SECONDS + 60)) "$SENDRIX" small.prn -M:T -R:-1 -D:0 "${TCP[@]}" \
    > /dev/null 2> run.err &
  RUN_PID=$!
  for _ in $(seq 1 200); do grep -q '^progress' run.err && break; sleep 0.05; done
}
stop_continuous() { # prints the ms from SIGTERM to exit
  local start
  start=$(now_ms)
  kill -TERM "$RUN_PID"
  wait "$RUN_PID"
  echo $(($(now_ms) - start))
  RUN_PID=""
}
for _ in $(seq 1 5); do
  start_continuous
  sleep 1
  stop_continuous
done > abort.ms
echo "abort_latency_ms runs: $(tr '\n' ' ' < abort.ms)" >&2
echo "abort_latency_ms=$(median < abort.ms)"

rss_kib() { # of sendrix itself, not of the timeout that runs it
  local child
  child=$(cat "/proc/$RUN_PID/task/$RUN_PID/children")
  awk '/^VmRSS/ { print $2 }' "/proc/${child// /}/status"
}
start_continuous
sleep 5
first=$(rss_kib)
sleep "$RSS_SECONDS"
last=$(rss_kib)
stop_continuous > /dev/null
echo "continuous_rss_growth: ${first} KiB after 5 s, ${last} KiB ${RSS_SECONDS} s later" >&2
awk -v a="$first" -v b="$last" -v s="$RSS_SECONDS" \
  'BEGIN { printf "continuous_rss_growth_mib_per_min=%.2f\n", (b - a) / 1024 / (s / 60) }'
