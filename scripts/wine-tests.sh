#!/usr/bin/env bash
# Runs the Windows tests under Wine with a prefix of their own, the Japanese
# ANSI code page (932) the host's users have, and a virtual X server with
# Wine drawing its own window frames (there is no window manager).
#
# The plug-in is 32-bit. Where this machine can start 32-bit processes
# (natively, or emulated: see scripts/test.sh) the win32 build's tests run
# under 32-bit Wine; the same code and tests built for 64-bit Windows run
# under 64-bit Wine everywhere, the fast path.
# Usage: scripts/wine-tests.sh win64|win32 [BUILD_DIR]
# (BUILD_DIR defaults to build/TARGET; ROZOVE_LINUX_BUILD and
# ROZOVE_WIN32_BUILD name other Linux and win32 build folders.)
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:-win64}
case "$target" in
  win64) loader=/usr/lib/wine/wine64 arch=win64 ;;
  win32) loader=/usr/lib/wine/wine arch=win32 ;;
  *) echo "unknown target: $target (win64 or win32)" >&2; exit 2 ;;
esac
build=${2:-build/$target}
source scripts/wine32-way.sh
linux_build=${ROZOVE_LINUX_BUILD:-build/linux}
win32_build=${ROZOVE_WIN32_BUILD:-build/win32}
if [ "$target" = win32 ]; then
  echo "wine-tests: 32-bit Wine, $(wine32_way) (if emulated: slow, never a timing figure)"
fi
export WINEPREFIX="$PWD/$build/wineprefix"
export WINEARCH=$arch
# ROZOVE_WINEDEBUG (err+all, for one) shows Wine's own diagnostics; every
# test's output is then printed, not only a failing one's.
export WINEDEBUG=${ROZOVE_WINEDEBUG:--all}
ctest_output=--output-on-failure
if [ -n "${ROZOVE_WINEDEBUG:-}" ]; then ctest_output=--verbose; fi
export WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  timeout 300 "$loader" wineboot --init >/dev/null 2>&1 || true
  timeout 120 wineserver -w || true
fi
timeout 120 "$loader" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1
# The settings dialog's font, "ＭＳ Ｐゴシック", is not on Linux: draw it with
# the proportional IPA Gothic (fonts-ipafont-gothic), which is close enough
# in size for the dialog's texts to fit as they do on Windows.
timeout 120 "$loader" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ Ｐゴシック' /t REG_SZ /d IPAPGothic /f >/dev/null 2>&1
timeout 120 wineserver -w || true
# The module tests leave their GIFs, what a decoder must find in them, and a
# snapshot of the settings dialog here; start from an empty folder.
out="$build/tests/module/out"
rm -rf "$out"
status=0
(cd "$build" && xvfb-run -a ctest "$ctest_output" --timeout 600) || status=1

# Checks by Linux programs (scripts/test.sh builds the Linux target first): giflib
# decodes every file the module wrote under Wine, and the 32-bit plug-in's
# file is read for its exports, imports, dialog template and manifest.
checks="$linux_build/tests/module"
if [ -x "$checks/gif_oracle_check" ]; then
  "$checks/gif_oracle_check" "$out" || status=1
else
  echo "wine-tests: $checks/gif_oracle_check is missing: build linux first" >&2
  status=1
fi
if [ -f "$win32_build/zezodav_odevad.auo" ] && [ -x "$checks/module_file_tests" ]; then
  ROZOVE_MODULE_FILE="$win32_build/zezodav_odevad.auo" "$checks/module_file_tests" || status=1
else
  echo "wine-tests: no $win32_build/zezodav_odevad.auo or module_file_tests: the plug-in's file is not checked" >&2
fi
# A hostile host gets the same results from the Windows module as from the
# Linux one: results, callbacks and the very bytes of every file.
if [ -f "$out/hostile_results.txt" ] && [ -f "$checks/out/hostile_results.txt" ]; then
  if diff -u "$checks/out/hostile_results.txt" "$out/hostile_results.txt"; then
    echo "hostile host: $(wc -l < "$out/hostile_results.txt") outcomes the same on Linux and under Wine"
  else
    echo "wine-tests: the module under Wine answers a hostile host differently from Linux" >&2
    status=1
  fi
else
  echo "wine-tests: hostile host results missing (run the Linux module_tests first)" >&2
  status=1
fi
# Every file that both builds' module tests wrote is the same byte for byte:
# under Wine the frames come from the module's own encoder (Wine's GDI+
# lacks the layout), on Linux from the stand-in over that encoder.
same=0
for gif in "$checks"/out/*.gif; do
  [ -f "$out/$(basename "$gif")" ] || continue
  if cmp -s "$gif" "$out/$(basename "$gif")"; then
    same=$((same + 1))
  else
    echo "wine-tests: $(basename "$gif") differs between Linux and Wine" >&2
    status=1
  fi
done
if [ "$same" -eq 0 ]; then
  echo "wine-tests: no module test file to compare with Linux (run the Linux module_tests first)" >&2
  status=1
fi
echo "module test files: $same the same on Linux and under Wine"
# The users' zip: unpacked, checked, and its plug-in loaded under Wine.
bash tests/package/package_test.sh "$target" "$loader" "$build" "$linux_build" "$win32_build" || status=1
if [ -f "$out/config_dialog.bmp" ] && command -v convert >/dev/null; then
  convert "$out/config_dialog.bmp" "$out/config_dialog.png" && echo "settings dialog snapshot: $out/config_dialog.png"
fi
exit $status
