#!/usr/bin/env bash
# Builds and runs every test: the whole suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, then the threaded tests under ThreadSanitizer,
# then the build without Qt (SENDRIX_GUI=OFF: only its programs) and the
# headless tests against it, then every fuzz target for
# $SENDRIX_FUZZ_SECONDS (default 20, 0 skips).
# First, before anything is built, the include-layer and style checks.
#   scripts/test.sh [--werror]
set -euo pipefail
cd "$(dirname "$0")/.."
EXTRA=("$@")
JOBS=$(nproc)

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}

echo "== Layer check: no lower layer includes a higher one"
scripts/check-layers.sh

echo "== Style check: clang-format and shellcheck"
scripts/check-style.sh

echo "== ASan+UBSan build: every test"
scripts/setup.sh --build-dir build/asan --sanitize address,undefined "${EXTRA[@]}"
(cd build/asan && ctest --output-on-failure -j "$JOBS")

echo "== TSan build: threaded tests"
scripts/setup.sh --build-dir build/tsan --sanitize thread --threaded-tests-only "${EXTRA[@]}"
(cd build/tsan && ctest --output-on-failure -j "$JOBS" -L threaded)

echo "== Without Qt (SENDRIX_GUI=OFF): the headless tests against its sendrix"
scripts/setup.sh --build-dir build/nogui --no-gui --target sendrix --target sendrix-printer-sim \
  "${EXTRA[@]}"
(cd build/nogui && ctest --output-on-failure -j "$JOBS" -L headless)

FUZZ_SECONDS=${SENDRIX_FUZZ_SECONDS:-20}
if [[ $FUZZ_SECONDS -gt 0 ]]; then
  echo "== Fuzz targets: ${FUZZ_SECONDS} s each"
  scripts/fuzz.sh "${EXTRA[@]}" --all "$FUZZ_SECONDS"
fi
