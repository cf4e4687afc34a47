#!/usr/bin/env bash
# Builds a package. win32: the one for the application's users, dist/rozove-VERSION-win32.zip
# with the plug-in zezodav_odevad.auo and the command-line host rozove.exe
# that drives it, both stripped of their debugging sections (the build keeps
# them), and readme.txt (Japanese and English, with the
# licence), VERSION being the project version in CMakeLists.txt. The read-me is written
# as UTF-8 with a byte-order mark and CRLF line ends, so that Windows Notepad
# shows it correctly whatever the machine's code page.
# linux: the Linux users' Debian package, dist/rozove_VERSION_amd64.deb
# (rozove, its module, the manual page and the bash completion under /usr,
# with the FFmpeg libraries it needs declared), made by CPack from the
# install rules in packaging/CMakeLists.txt.
# Usage: scripts/package.sh [win32|win64|linux [OUT_DIR]]
# win64 packs the 64-bit build's module in the same layout, for tests on
# machines that cannot start 32-bit processes; it is not for users.
# ROZOVE_PACKAGE_BUILD names a build folder to take the module from as it is;
# otherwise the target is built first. Standard output: only the package's path.
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:-win32}
out=${2:-dist}
case "$target" in
  win32 | win64 | linux) ;;
  *) echo "unknown target: $target (win32, win64 or linux)" >&2; exit 2 ;;
esac
version=$(sed -n 's/^project(rozove VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
if [ -z "$version" ]; then
  echo "package: no project version in CMakeLists.txt" >&2
  exit 1
fi
build=${ROZOVE_PACKAGE_BUILD:-}
if [ -z "$build" ]; then
  build=build/$target
  bash scripts/build.sh "$target" >&2
fi

if [ "$target" = linux ]; then
  if [ ! -f "$build/CPackConfig.cmake" ] || [ ! -f "$build/rozove" ]; then
    echo "package: $build holds no Linux build (no CPackConfig.cmake or rozove)" >&2
    exit 1
  fi
  command -v dpkg-shlibdeps >/dev/null || { echo "package: dpkg-shlibdeps is missing (apt-get install dpkg-dev)" >&2; exit 1; }
  # CPack leaves its staging tree beside the package: it works in a scratch
  # folder, and only the .deb goes to OUT_DIR.
  staging=$(mktemp -d)
  trap 'rm -rf "$staging"' EXIT
  cpack -G DEB --config "$build/CPackConfig.cmake" -B "$staging" >&2
  deb=$(find "$staging" -maxdepth 1 -name "rozove_${version}_*.deb")
  if [ -z "$deb" ]; then
    echo "package: CPack made no rozove_${version}_*.deb" >&2
    exit 1
  fi
  mkdir -p "$out"
  mv "$deb" "$out/"
  echo "$out/$(basename "$deb")"
  exit 0
fi
module="$build/zezodav_odevad.auo"
host="$build/rozove.exe"
for file in "$module" "$host"; do
  if [ ! -f "$file" ]; then
    echo "package: $file is missing" >&2
    exit 1
  fi
done

case "$target" in
  win32) strip_tool=i686-w64-mingw32-strip ;;
  *) strip_tool=x86_64-w64-mingw32-strip ;;
esac
command -v "$strip_tool" >/dev/null || { echo "package: $strip_tool is missing (apt-get install binutils-mingw-w64)" >&2; exit 1; }

staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
"$strip_tool" --strip-unneeded -o "$staging/zezodav_odevad.auo" "$module"
"$strip_tool" --strip-unneeded -o "$staging/rozove.exe" "$host"
{
  printf '\357\273\277'
  sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' resources/package/readme.txt
  # The licence's own text closes it.
  printf '\r\n'
  sed -e 's/$/\r/' LICENSE
} >"$staging/readme.txt"

mkdir -p "$out"
zip_path="$out/rozove-$version-$target.zip"
rm -f "$zip_path"
# -X: no Unix owners or extra time stamps, only what Windows' own unpacker reads.
(cd "$staging" && zip -q -X package.zip zezodav_odevad.auo rozove.exe readme.txt)
mv "$staging/package.zip" "$zip_path"
echo "$zip_path"
