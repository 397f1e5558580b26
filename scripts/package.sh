#!/usr/bin/env bash
# Builds the Debian package from a release tree without tests:
# build/release/sendrix_<version>-1_<arch>.deb (docs/packaging.md).
#
#   scripts/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --build-dir build/release --release --no-tests
cd build/release
cpack -G DEB
dpkg-deb -I "$(ls -t sendrix_*.deb | head -n 1)"
