#!/usr/bin/env bash
# Installs what Sendrix needs (Debian 12 packages, only those missing) and
# configures and builds one tree. Safe to run again: it only does what is
# still to do.
#
#   scripts/setup.sh [--build-dir DIR] [--sanitize LIST] [--release]
#                    [--threaded-tests-only] [--werror] [--no-tests]
#                    [--no-gui] [--target NAME]...
# --no-gui configures the build without Qt (SENDRIX_GUI=OFF); each --target
# builds only that target (default: everything).
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=build/dev
SANITIZE=""
BUILD_TYPE=RelWithDebInfo
THREADED_ONLY=OFF
WERROR=${SENDRIX_WERROR:-OFF}
TESTS=ON
GUI=ON
TARGETS=()
while [[ $# -gt 0 ]]; do
  case "$1" in
    --build-dir) BUILD_DIR=$2; shift 2 ;;
    --sanitize) SANITIZE=$2; shift 2 ;;
    --release) BUILD_TYPE=Release; shift ;;
    --threaded-tests-only) THREADED_ONLY=ON; shift ;;
    --werror) WERROR=ON; shift ;;
    --no-tests) TESTS=OFF; shift ;;
    --no-gui) GUI=OFF; shift ;;
    --target) TARGETS+=(--target "$2"); shift 2 ;;
    *) echo "setup.sh: unknown option $1" >&2; exit 2 ;;
  esac
done

PACKAGES=(cmake ninja-build g++ pkg-config googletest libgtest-dev libgmock-dev
          libusb-1.0-0-dev libssl-dev socat qt6-base-dev xxd dpkg-dev
          xvfb xdotool libxcb1-dev appstream lintian)
scripts/install-missing.sh setup.sh "${PACKAGES[@]}"

cmake -S . -B "$BUILD_DIR" -G Ninja \
  -DCMAKE_BUILD_TYPE="$BUILD_TYPE" \
  -DSENDRIX_SANITIZE="$SANITIZE" \
  -DSENDRIX_THREADED_TESTS_ONLY="$THREADED_ONLY" \
  -DSENDRIX_WERROR="$WERROR" \
  -DSENDRIX_BUILD_TESTS="$TESTS" \
  -DSENDRIX_GUI="$GUI" >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)" "${TARGETS[@]}"
