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
dpkg-deb -I "$(find . -maxdepth 1 -name 'sendrix_*.deb' -printf '%T@ %p\n' | sort -rn | head -n 1 | cut -d' ' -f2)"
