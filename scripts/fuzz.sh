#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) in their own tree and
# runs them. Each run starts from the target's seed corpus in fuzz/corpus/
# plus what earlier runs found (build/fuzz/corpus/, not committed); an input
# that breaks an invariant or trips a sanitizer is kept in
# build/fuzz/findings/ and fails the run.
#
#   scripts/fuzz.sh TARGET SECONDS      one target, e.g. flash_download 600
#   scripts/fuzz.sh --all SECONDS       every target, SECONDS each, in turn
#   scripts/fuzz.sh --list              the target names
#   Options (before the rest): --werror, --build-dir DIR.
# Environment: SENDRIX_FUZZ_JOBS (build jobs, default nproc).
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=build/fuzz
WERROR=${SENDRIX_WERROR:-OFF}
while [[ $# -gt 0 ]]; do
  case "$1" in
    --werror) WERROR=ON; shift ;;
    --build-dir) BUILD_DIR=$2; shift 2 ;;
    *) break ;;
  esac
done

targets() {
  local f
  for f in fuzz/*.cpp; do
    f=${f#fuzz/}
    echo "${f%.cpp}"
  done
}

usage() {
  echo "usage: scripts/fuzz.sh [--werror] [--build-dir DIR] (TARGET SECONDS | --all SECONDS | --list)" >&2
  exit 2
}

[[ $# -ge 1 ]] || usage
if [[ $1 == --list ]]; then
  targets
  exit 0
fi
[[ $# -eq 2 && $2 =~ ^[0-9]+$ ]] || usage
if [[ $1 == --all ]]; then
  mapfile -t RUN < <(targets)
else
  [[ -f fuzz/$1.cpp ]] || { echo "fuzz.sh: no target $1 (see --list)" >&2; exit 2; }
  RUN=("$1")
fi
SECONDS_EACH=$2

# clang and its libFuzzer runtime: only the fuzz tree needs them.
PACKAGES=(clang libclang-rt-14-dev cmake ninja-build)
scripts/install-missing.sh fuzz.sh "${PACKAGES[@]}"

LAUNCHER=()
if command -v ccache >/dev/null; then
  LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSENDRIX_FUZZ=ON \
  -DSENDRIX_WERROR="$WERROR" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  "${LAUNCHER[@]}" >/dev/null
cmake --build "$BUILD_DIR" -j "${SENDRIX_FUZZ_JOBS:-$(nproc)}" --target fuzz_all

# Targets that write files (history_ini) run twice as fast on tmpfs.
if [[ -z ${TMPDIR:-} && -d /dev/shm && -w /dev/shm ]]; then
  export TMPDIR=/dev/shm
fi

failed=()
for t in "${RUN[@]}"; do
  work="$BUILD_DIR/corpus/$t"
  findings="$BUILD_DIR/findings"
  mkdir -p "$work" "$findings"
  log="$BUILD_DIR/fuzz-$t.log"
  # New inputs go to the first folder; the committed seeds stay as they are.
  if "$BUILD_DIR/bin/fuzz_$t" "$work" "fuzz/corpus/$t" -max_total_time="$SECONDS_EACH" \
      -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$findings/$t-" >"$log" 2>&1; then
    status=ok
  else
    status=FINDING
    failed+=("$t")
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  time=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  printf 'fuzz %-20s %-7s runs %-10s exec/s %s\n' "$t" "$status" "${runs:-?}" "${time:-?}"
  if [[ $status != ok ]]; then
    grep -E "invariant failed|ERROR:|SUMMARY:|Test unit written" "$log" | head -20 >&2 || true
  fi
done

if [[ ${#failed[@]} -gt 0 ]]; then
  echo "fuzz.sh: findings in ${failed[*]} (inputs in $BUILD_DIR/findings/, logs in $BUILD_DIR/fuzz-*.log)" >&2
  exit 1
fi
