#!/usr/bin/env bash
# Fails when a C++ file drifts from the committed .clang-format or a shell
# script has a shellcheck finding (.shellcheckrc says which are off, and why).
# Installs clang-format-14 and shellcheck when missing (Debian 12 packages);
# the formatter's version is fixed, so its output does not move under us.
#   scripts/check-style.sh [root]     (root defaults to the repository)
set -euo pipefail
ROOT=${1:-"$(dirname "$0")/.."}
cd "$ROOT"
scripts/install-missing.sh check-style.sh clang-format-14 shellcheck

mapfile -t SOURCES < <(git ls-files '*.cpp' '*.h' 2>/dev/null ||
                         find src tools bench fuzz -name '*.cpp' -o -name '*.h')
mapfile -t SCRIPTS < <( (git ls-files '*.sh' 2>/dev/null || find . -name '*.sh' -not -path './build/*'
                         echo .ci/run; echo bench/run) | sort -u)

status=0
if ! clang-format-14 --dry-run --Werror "${SOURCES[@]}"; then
  echo "check-style: format the files above with clang-format-14 -i (or git clang-format)" >&2
  status=1
fi
if ! shellcheck -x "${SCRIPTS[@]}"; then
  echo "check-style: shellcheck findings above" >&2
  status=1
fi
[[ $status -eq 0 ]] && echo "check-style: ok (${#SOURCES[@]} C++ files, ${#SCRIPTS[@]} scripts)"
exit "$status"
