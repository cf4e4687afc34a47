#!/usr/bin/env bash
# Builds one target: linux, linux-asan (AddressSanitizer + UBSan), linux-tsan
# (ThreadSanitizer: run its tests with TSAN_OPTIONS=suppressions=$PWD/tests/tsan.supp), win32 (the
# 32-bit module and host) or win64 (the same code and tests for 64-bit Wine).
# --no-tests builds only rozove, its module and its video decoder, from the
# packages of `scripts/install-deps.sh linux` (the demo's build).
# Usage: scripts/build.sh linux|linux-asan|linux-tsan|win32|win64 [--no-tests]
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:-linux}
tests=ON
case "${2:-}" in
  "") ;;
  --no-tests) tests=OFF ;;
  *) echo "unknown option: $2 (--no-tests)" >&2; exit 2 ;;
esac
jobs=$(nproc)
case "$target" in
  linux) args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  linux-asan) args=(-DCMAKE_BUILD_TYPE=Debug -DROZOVE_SANITIZE=ON) ;;
  linux-tsan) args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DROZOVE_TSAN=ON) ;;
  win32) args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake) ;;
  win64) args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake) ;;
  *) echo "unknown target: $target (linux, linux-asan, linux-tsan, win32 or win64)" >&2; exit 2 ;;
esac
cmake -S . -B "build/$target" "${args[@]}" -DROZOVE_TESTS=$tests >/dev/null
cmake --build "build/$target" -j"$jobs"
