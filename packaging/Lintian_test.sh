#!/usr/bin/env bash
# The Debian package as Debian's own checker sees it: builds the package of
# this build tree with CPack into a temporary folder (gzip instead of xz:
# quicker, and the same to lintian) and fails on any lintian error. Without
# lintian (scripts/setup.sh installs it) the test says so and is skipped
# (exit 77).
#
#   Lintian_test.sh BUILD_DIR
set -uo pipefail
BUILD=$(realpath "$1")
command -v lintian > /dev/null || { echo "SKIP: lintian is not installed"; exit 77; }
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

if ! cpack -G DEB -B "$WORK" --config "$BUILD/CPackConfig.cmake" \
    -D CPACK_DEBIAN_COMPRESSION_TYPE=gzip > "$WORK/cpack.log" 2>&1; then
  cat "$WORK/cpack.log" >&2
  echo "FAIL: cpack" >&2
  exit 1
fi
DEB=$(ls "$WORK"/sendrix_*.deb)
# Root is what CI runs as; lintian only warns about it.
lintian --fail-on error --tag-display-limit 0 "$DEB" 2>&1 | grep -v 'running with root privileges' |
  tee "$WORK/lintian.log"
if grep -q '^E: ' "$WORK/lintian.log"; then
  echo "FAIL: lintian reports errors" >&2
  exit 1
fi
echo "all passed"
