#!/usr/bin/env bash
# Installs the Debian packages of the list that are not installed yet (with
# sudo when not root); says so on stdout under the caller's name.
#
#   scripts/install-missing.sh CALLER PACKAGE...
set -euo pipefail
caller=$1
shift
missing=()
for p in "$@"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[[ ${#missing[@]} -gt 0 ]] || exit 0
echo "$caller: installing ${missing[*]}"
SUDO=""
[[ $(id -u) -ne 0 ]] && SUDO=sudo
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
