#!/usr/bin/env bash
# Fails when a source file includes a layer above its own. The order comes
# from the "layers:" line in docs/architecture.md, bottom to top; the folders
# after "|" are the Qt layers, the ones before it form sendrix_core.
# Rules, for every #include "..." under src/ and tools/printer-sim/:
#  - a file in src/<layer>/ includes only its own layer and the ones below;
#  - src/testsupport/ (test fakes) is for *_test.cpp and test support only,
#    and may use every core layer;
#  - the virtual printer (tools/printer-sim/) includes nothing from src/, and
#    only tests and test support include it;
#  - a core layer includes no Qt header;
#  - every folder under src/ is a layer or testsupport.
#   scripts/check-layers.sh [root]     (root defaults to the repository)
set -euo pipefail
ROOT=${1:-"$(dirname "$0")/.."}
cd "$ROOT"

LINE=$(grep -m1 -E '^ *layers:' docs/architecture.md || true)
if [[ -z "$LINE" ]]; then
  echo "check-layers: no 'layers:' line in docs/architecture.md" >&2
  exit 2
fi
ORDER=${LINE#*layers:}

# Sources sorted so that the report is stable; the printer's file names let a
# bare include be told apart from one beside the including file.
mapfile -t FILES < <(find src tools/printer-sim -type f \( -name '*.h' -o -name '*.cpp' \) | sort)
SIM_NAMES=$(find tools/printer-sim -maxdepth 1 -type f -name '*.h' -printf '%f ')

awk -v order="$ORDER" -v simNames="$SIM_NAMES" '
BEGIN {
  n = split(order, words, /[ \t]+/)
  rank = 0; core = 1
  for (i = 1; i <= n; ++i) {
    if (words[i] == "") continue
    if (words[i] == "|") { core = 0; continue }
    layerRank[words[i]] = ++rank
    isCore[words[i]] = core
  }
  split(simNames, s, " ")
  for (i in s) isSim[s[i]] = 1
  bad = 0
}
function fail(msg) {
  printf "%s:%d: %s\n", FILENAME, FNR, msg
  bad = 1
}
FNR == 1 {
  split(FILENAME, part, "/")
  dir = FILENAME; sub(/\/[^\/]*$/, "", dir)
  # Test programs and their fixtures: *_test.cpp, *Test*.h/.cpp (mains,
  # sessions, test support) and Fake*.h/.cpp.
  isTest = (FILENAME ~ /(_test\.cpp|Test[A-Za-z]*\.(h|cpp)|\/Fake[A-Za-z]*\.(h|cpp))$/)
  if (part[1] == "tools") { kind = "sim"; layer = "" }
  else if (part[2] == "testsupport") { kind = "support"; layer = "" }
  else if (part[2] in layerRank) { kind = "layer"; layer = part[2] }
  else if (FILENAME ~ /^src\/[^\/]+$/) { kind = "top"; layer = "" }
  else { kind = "unknown"; fail("folder src/" part[2] " is not in the layer order of docs/architecture.md") }
  own = (kind == "layer") ? layerRank[layer] : 0
}
/^[ \t]*#[ \t]*include[ \t]*</ {
  if (kind == "layer" && isCore[layer] && $0 ~ /<Q[A-Za-z]*(\/[^>]*)?>/)
    fail("Qt header in the core layer " layer ": " $0)
  next
}
/^[ \t]*#[ \t]*include[ \t]*"/ {
  target = $0; sub(/^[^"]*"/, "", target); sub(/".*$/, "", target)
  if (index(target, "/") == 0) {
    if (kind == "sim" || dir == "tools/printer-sim") next
    if (isSim[target] && !isTest && kind != "support")
      fail("the product includes the virtual printer: " target)
    next
  }
  split(target, t, "/")
  top = t[1]
  if (kind == "sim") {
    if (top in layerRank || top == "testsupport")
      fail("the virtual printer includes sendrix code: " target)
    next
  }
  if (top == "testsupport") {
    if (!isTest && kind != "support")
      fail("test support included outside the tests: " target)
    next
  }
  if (!(top in layerRank)) next
  if (kind == "support") {
    if (!isCore[top]) fail("test support includes a Qt layer: " target)
    next
  }
  if (kind == "layer" && layerRank[top] > own)
    fail("layer " layer " includes the higher layer " top ": " target)
}
END { exit bad }
' "${FILES[@]}" || {
  echo "check-layers: includes break the layer order (docs/architecture.md)" >&2
  exit 1
}
echo "check-layers: ok (${#FILES[@]} files)"
