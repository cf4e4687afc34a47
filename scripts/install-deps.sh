#!/usr/bin/env bash
# Installs the Debian packages a job needs, asking apt only for what is
# missing (safe to run again).
#   scripts/install-deps.sh          everything: both targets, the tests under
#                                    Wine, the benchmarks, the Debian package
#   scripts/install-deps.sh linux    only the Linux build and the demo
# (file and dpkg-dev: CPack finds the programs with file and their
# dependencies with dpkg-shlibdeps; groff-base: the manual page's check;
# btrfs-progs: a small file system with a disk quota for the tests; lintian:
# the package's check.)
#
# A package index can be briefly out of step with its mirror (one list fails
# to download): the update is tried twice, then the lists at hand are used.
# A package that still cannot be had is named on one line and left out; the
# caller decides what can run without it (scripts/test.sh runs the rest).
set -euo pipefail

linux_build=(
  cmake make g++ pkg-config
  libavformat-dev libavcodec-dev libswscale-dev libavutil-dev
)
everything=(
  "${linux_build[@]}"
  mingw-w64 g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  googletest libgtest-dev libbenchmark-dev
  libgif-dev giflib-tools
  clang libclang-rt-14-dev llvm
  wine wine32:i386 wine64 xvfb xauth x11-utils imagemagick
  locales-all fonts-ipafont-gothic
  ffmpeg valgrind python3 zip unzip
  dpkg-dev file groff-base btrfs-progs lintian
)

case "${1:-all}" in
  linux) need=("${linux_build[@]}") ;;
  all) need=("${everything[@]}") ;;
  *) echo "usage: scripts/install-deps.sh [linux|all]" >&2; exit 2 ;;
esac

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

missing=()
for p in "${need[@]}"; do
  installed "$p" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

export DEBIAN_FRONTEND=noninteractive
for p in "${missing[@]}"; do
  if [[ $p == *:i386 ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
done
if ! apt-get update -qq; then
  echo "install-deps: a package index failed to download; trying once more" >&2
  sleep 5
  apt-get update -qq ||
    echo "install-deps: a package index is still out of step; going on with the lists at hand" >&2
fi
if ! apt-get install -y -qq --no-install-recommends "${missing[@]}"; then
  # One package the lists cannot serve must not stop the others.
  for p in "${missing[@]}"; do
    installed "$p" && continue
    apt-get install -y -qq --no-install-recommends "$p" ||
      echo "install-deps: COULD NOT INSTALL $p; going on without it" >&2
  done
fi
exit 0
