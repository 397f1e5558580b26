#!/usr/bin/env bash
# The installed tree as a user gets it: installs the build tree under a
# temporary DESTDIR (as a package build does), checks that exactly the
# listed files are there, that the manual pages, the desktop entry, the
# AppStream metainfo and the copyright file are sound, and that the
# installed sendrix, headless, sends a file over loopback TCP to the
# installed virtual printer with its texts from the installed text library.
#
#   Install_test.sh BUILD_DIR INSTALL_PREFIX EXPECTED_FILE_LIST
set -uo pipefail
BUILD=$1
EXPECTED=$3
WORK=$(mktemp -d)
PREFIX=$WORK/root$2
SIM_PID=""
FAILS=0
cleanup() {
  if [[ -n "$SIM_PID" ]] && kill -0 "$SIM_PID" 2>/dev/null; then kill -KILL "$SIM_PID"; fi
  rm -rf "$WORK"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; FAILS=$((FAILS + 1)); }

if ! DESTDIR=$WORK/root cmake --install "$BUILD" > "$WORK/install.log" 2>&1; then
  cat "$WORK/install.log" >&2
  echo "FAIL: cmake --install" >&2
  exit 1
fi

# Exactly the listed files, all under the prefix: a missing one and a stray
# one both fail.
if ! diff -u "$EXPECTED" <(cd "$WORK/root" && find . -type f -o -type l |
    sed "s|^\./||; s|^${2#/}/||" | LC_ALL=C sort) \
    > "$WORK/files.diff"; then
  fail "installed files differ from $(basename "$EXPECTED") (- missing, + unexpected):"
  sed -n '3,$p' "$WORK/files.diff" | grep '^[-+]' >&2
fi

for page in "$PREFIX"/share/man/man1/*.1.gz; do
  gzip -t "$page" || fail "$page: not a gzip file"
  if command -v groff > /dev/null; then
    msgs=$(zcat "$page" | groff -man -Tutf8 -wmac -z 2>&1)
    [[ -z "$msgs" ]] || fail "$(basename "$page"): $msgs"
  fi
done

# Software centres take the metainfo only when AppStream's own validator
# does (offline: the screenshot's address is not fetched).
METAINFO=$PREFIX/share/metainfo/com.korvel.sendrix.metainfo.xml
if command -v appstreamcli > /dev/null; then
  appstreamcli validate --no-net --no-color "$METAINFO" > "$WORK/appstream.log" 2>&1 ||
    fail "appstreamcli refuses the metainfo: $(cat "$WORK/appstream.log")"
fi
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/$' \
  "$PREFIX/share/doc/sendrix/copyright" || fail "the copyright file is not in Debian's format"

DESKTOP=$PREFIX/share/applications/sendrix.desktop
EXEC=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$DESKTOP")
ICON=$(sed -n 's/^Icon=//p' "$DESKTOP")
[[ -x "$PREFIX/bin/$EXEC" ]] || fail "desktop entry: Exec=$EXEC is not an installed program"
[[ -f "$PREFIX/share/icons/hicolor/scalable/apps/$ICON.svg" ]] || fail "desktop entry: no icon $ICON"

# The installed programs alone: no display, no settings but the installed
# ones, no library path, started outside the build tree.
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM LD_LIBRARY_PATH
export SENDRIX_HOME=$WORK/home XDG_CONFIG_HOME=$WORK/config XDG_CONFIG_DIRS=$WORK/xdg
cd "$WORK" || exit 1
head -c 30000 /dev/urandom > receipt.prn

"$PREFIX/bin/sendrix-printer-sim" --main-port 0 --rt-port 0 --usm-port 0 --exit-after-s 60 \
  > sim.out 2> sim.err &
SIM_PID=$!
for _ in $(seq 1 100); do grep -q '^ready ' sim.out && break; sleep 0.05; done
PORT=$(sed -n 's/^ready main=\([0-9]*\).*/\1/p' sim.out)
[[ -n "$PORT" ]] || { echo "FAIL: the installed virtual printer did not start" >&2; exit 1; }

timeout 60 "$PREFIX/bin/sendrix" receipt.prn -M:T -I:T -A:127.0.0.1 "-O:$PORT" > out.txt 2> err.txt
RC=$?
[[ $RC -eq 0 ]] || fail "transmit: exit $RC: $(cat err.txt)"
# A message only the text library has: the texts were found.
timeout 60 "$PREFIX/bin/sendrix" missing.prn -M:T -I:T -A:127.0.0.1 "-O:$PORT" > out.txt 2> err.txt
RC=$?
[[ $RC -eq 1 ]] || fail "missing file: exit $RC, expected 1"
grep -q '^Sendrix: The file could not be opened' err.txt ||
  fail "missing file: no text from the installed text library: $(cat err.txt)"

kill -TERM "$SIM_PID"
for _ in $(seq 1 100); do kill -0 "$SIM_PID" 2>/dev/null || break; sleep 0.05; done
wait "$SIM_PID" 2>/dev/null
SIM_PID=""
SHA=$(sed -n 's/^summary .* sha256=\([0-9a-f]*\).*/\1/p' sim.out)
[[ "$SHA" == "$(sha256sum < receipt.prn | cut -d' ' -f1)" ]] ||
  fail "the printer's sha256 '$SHA' is not the file's"

[[ $FAILS -eq 0 ]] && echo "all passed"
exit $((FAILS > 0))
