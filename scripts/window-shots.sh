#!/usr/bin/env bash
# Renders the main window with each interface selected into docs/images/
# (window-serial.png, window-usb.png, window-ethernet.png), and the program's
# icon into packaging/icons/ (the installed PNGs), on the offscreen platform,
# from a release build. The Ethernet settings name 127.0.0.1 on the
# discard port, where nothing listens: no traffic leaves the machine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --build-dir build/release --release --no-tests >/dev/null
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export SENDRIX_HOME=$WORK/home XDG_CONFIG_HOME=$WORK/config
mkdir -p "$XDG_CONFIG_HOME/sendrix"
cat > "$XDG_CONFIG_HOME/sendrix/sendrix.reg" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SOFTWARE\KORVEL\SENDRIX\Communication Parameters]
"Interface Type"=dword:00000002
"Ethernet IP Address"=dword:7f000001
"Ethernet Port"=dword:00000009
REG
QT_QPA_PLATFORM=offscreen build/release/bin/sendrix-window-demo --shots docs/images 2>/dev/null
QT_QPA_PLATFORM=offscreen build/release/bin/sendrix-window-demo --icons packaging/icons 2>/dev/null
