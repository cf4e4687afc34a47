#!/usr/bin/env bash
# Installs what is missing, builds both targets and runs every test: the
# native tests, the same again under AddressSanitizer and UBSan, and the
# Windows build under Wine (dialogs and message boxes in a virtual X server).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

# platform/ is the one switch: the system code and the host hold no
# platform conditional.
if grep -rn _WIN32 gif settings; then
  echo "test.sh: a platform conditional in gif/ or settings/; it belongs behind platform/win32_api.h" >&2
  exit 1
fi
if grep -rn _WIN32 host; then
  echo "test.sh: a platform conditional in host/; it belongs behind platform/host_os.h" >&2
  exit 1
fi

bash scripts/build.sh linux
(cd build/linux && ctest --output-on-failure -j2)

bash scripts/build.sh linux-asan
(cd build/linux-asan && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j2)

# The fuzz targets, about a minute each, with ASan and UBSan.
bash scripts/fuzz.sh "${ROZOVE_FUZZ_SECONDS:-60}"

# The 32-bit module and host, and the Windows tests under Wine. 64-bit Wine
# always: the fast path, and what 64-bit Wine users run. 32-bit Wine runs
# the users' own build: natively where the kernel starts 32-bit processes;
# where it does not, through qemu's user-mode emulation, which
# ../shared/tools/wine32-qemu.sh sets up (as root, once; in CI the shared
# tools lie beside the clone). scripts/wine-tests.sh says which way ran.
bash scripts/build.sh win32
bash scripts/build.sh win64
bash scripts/wine-tests.sh win64
wine32_setup=../shared/tools/wine32-qemu.sh
if ! /usr/lib/wine/wine --version >/dev/null 2>&1 && [ -f "$wine32_setup" ]; then
  echo "this machine cannot start 32-bit processes: emulating them ($wine32_setup, minutes the first time)"
  # Its apt-get update fails while a 32-bit package index is out of step
  # with its mirror: then 32-bit Wine cannot be had today, and the rest runs.
  bash "$wine32_setup" || true
fi
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  bash scripts/wine-tests.sh win32
else
  echo "########## 32-BIT WINE IS NOT AVAILABLE HERE (no wine32:i386, or no way to start 32-bit processes): the win32 build is checked, its tests ran as win64 only ##########"
fi
