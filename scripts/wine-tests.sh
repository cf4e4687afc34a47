#!/usr/bin/env bash
# Runs the win32 tests under Wine with a prefix of their own, the Japanese
# ANSI code page (932) the host's users have, and a virtual X server.
set -euo pipefail
cd "$(dirname "$0")/.."
export WINEPREFIX="$PWD/build/win32/wineprefix"
export WINEDEBUG=-all
export WINEARCH=win32
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot --init >/dev/null 2>&1 || true
  wineserver -w
fi
# No window manager under Xvfb: let Wine draw the window frames itself.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1
wineserver -w
cd build/win32
xvfb-run -a ctest --output-on-failure
