#!/usr/bin/env bash
# Installs every Debian package the build, the tests, the demo and the
# Debian package need (file and dpkg-dev: CPack finds the programs with file
# and their dependencies with dpkg-shlibdeps; groff-base: the manual page's
# check; btrfs-progs: a small file system with a disk quota for the tests).
# Safe to run again: it asks apt only for what is missing.
set -euo pipefail

need=(
  cmake make g++ pkg-config
  mingw-w64 g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  googletest libgtest-dev libbenchmark-dev
  libgif-dev giflib-tools
  clang libclang-rt-14-dev llvm
  wine wine32:i386 wine64 xvfb xauth x11-utils imagemagick
  locales-all fonts-ipafont-gothic
  ffmpeg valgrind python3 zip unzip
  libavformat-dev libavcodec-dev libswscale-dev libavutil-dev
  dpkg-dev file groff-base btrfs-progs
)

missing=()
for p in "${need[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
