#!/usr/bin/env bash
# Sets up Sendrix and runs its main job as far as it exists today: builds
# the release tree and runs the core self-checks. (This grows into the
# demo against the virtual printer.)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --build-dir build/release --release --no-tests
echo "Sendrix core built in build/release."
