#!/usr/bin/env bash
# Runs the Windows tests under Wine with a prefix of their own, the Japanese
# ANSI code page (932) the host's users have, and a virtual X server with
# Wine drawing its own window frames (there is no window manager).
#
# The plug-in is 32-bit. Where this machine can start 32-bit processes the
# win32 build's tests run under 32-bit Wine; the same code and tests built
# for 64-bit Windows run under 64-bit Wine everywhere, so that real GDI+,
# real dialogs and real message boxes are exercised even on machines (such
# as sandboxed CI runners) that cannot run 32-bit code at all.
# Usage: scripts/wine-tests.sh win64|win32
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:-win64}
case "$target" in
  win64) loader=/usr/lib/wine/wine64 arch=win64 ;;
  win32) loader=/usr/lib/wine/wine arch=win32 ;;
  *) echo "unknown target: $target (win64 or win32)" >&2; exit 2 ;;
esac
export WINEPREFIX="$PWD/build/$target/wineprefix"
export WINEARCH=$arch
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  timeout 300 "$loader" wineboot --init >/dev/null 2>&1 || true
  timeout 120 wineserver -w || true
fi
timeout 120 "$loader" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1
timeout 120 wineserver -w || true
cd "build/$target"
xvfb-run -a ctest --output-on-failure
