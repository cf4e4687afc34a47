#!/usr/bin/env bash
# Builds the package for the application's users: dist/rozove-VERSION-win32.zip
# with the plug-in zezodav_odevad.auo and readme.txt (Japanese and English),
# VERSION being the project version in CMakeLists.txt. The read-me is written
# as UTF-8 with a byte-order mark and CRLF line ends, so that Windows Notepad
# shows it correctly whatever the machine's code page.
# Usage: scripts/package.sh [win32|win64 [OUT_DIR]]
# win64 packs the 64-bit build's module in the same layout, for tests on
# machines that cannot start 32-bit processes; it is not for users.
# ROZOVE_PACKAGE_BUILD names a build folder to take the module from as it is;
# otherwise the target is built first.
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:-win32}
out=${2:-dist}
case "$target" in
  win32 | win64) ;;
  *) echo "unknown target: $target (win32 or win64)" >&2; exit 2 ;;
esac
version=$(sed -n 's/^project(rozove VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
if [ -z "$version" ]; then
  echo "package: no project version in CMakeLists.txt" >&2
  exit 1
fi
build=${ROZOVE_PACKAGE_BUILD:-}
if [ -z "$build" ]; then
  build=build/$target
  bash scripts/build.sh "$target" >&2  # standard output: only the path of the zip
fi
module="$build/zezodav_odevad.auo"
if [ ! -f "$module" ]; then
  echo "package: $module is missing" >&2
  exit 1
fi

staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
cp "$module" "$staging/zezodav_odevad.auo"
{
  printf '\357\273\277'
  sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' resources/package/readme.txt
} >"$staging/readme.txt"

mkdir -p "$out"
zip_path="$out/rozove-$version-$target.zip"
rm -f "$zip_path"
# -X: no Unix owners or extra time stamps, only what Windows' own unpacker reads.
(cd "$staging" && zip -q -X package.zip zezodav_odevad.auo readme.txt)
mv "$staging/package.zip" "$zip_path"
echo "$zip_path"
