#!/usr/bin/env bash
# The users' package: scripts/package.sh builds the zip, and this unpacks it,
# checks its files (exactly the plug-in, rozove.exe and readme.txt; the read-me UTF-8
# with a byte-order mark, CRLF line ends, in Japanese and in English, with
# the version and the licence; the plug-in and rozove.exe the build's own,
# stripped of their debugging sections), then loads the unpacked
# plug-in through its table under Wine with the unpacked rozove.exe (the
# 64-bit build's own where 64-bit Wine loads the win64 layout) and has it write the
# demo, which must be the Linux build's file byte for byte.
# The win32 zip is what users get: under 32-bit Wine (the win32 target)
# its own plug-in is the one loaded. Under 64-bit Wine it is checked without
# loading, and the same layout packed from the win64 build is loaded.
# Usage: tests/package/package_test.sh win32|win64 WINE_LOADER BUILD_DIR LINUX_BUILD_DIR WIN32_BUILD_DIR
# (called by scripts/wine-tests.sh, with its Wine prefix in the environment)
set -euo pipefail
cd "$(dirname "$0")/../.."
target=$1 loader=$2 build=$3 linux_build=$4 win32_build=$5
work=$(mktemp -d "$PWD/$build/package-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
version=$(sed -n 's/^project(rozove VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
failures=0
fail() {
  echo "package test: $*" >&2
  failures=$((failures + 1))
}

# Strip stamps the time into a PE file's header (and its checksum follows
# it), so two strips of one build differ there when a second ticks between
# them: those two fields are zeroed before the files are compared.
without_stamp() {  # without_stamp FILE: the file with its PE time stamp and checksum zeroed
  python3 - "$1" <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], 'rb').read())
header = struct.unpack_from('<I', data, 0x3C)[0]
struct.pack_into('<I', data, header + 8, 0)       # TimeDateStamp
struct.pack_into('<I', data, header + 24 + 64, 0)  # the optional header's CheckSum
sys.stdout.buffer.write(data)
PY
}

check_zip() {  # check_zip ZIP BUILD_DIR UNPACK_DIR
  local zip=$1 built=$2 dir=$3 readme file
  [ -f "$zip" ] || { fail "$zip was not built"; return; }
  local names
  names=$(unzip -Z1 "$zip" | sort | tr '\n' ' ')
  [ "$names" = "readme.txt rozove.exe zezodav_odevad.auo " ] || fail "$zip holds: $names"
  mkdir -p "$dir"
  unzip -q -o "$zip" -d "$dir"
  local strip_tool=x86_64-w64-mingw32-strip
  [[ $zip == *-win32.zip ]] && strip_tool=i686-w64-mingw32-strip
  for file in zezodav_odevad.auo rozove.exe; do
    "$strip_tool" --strip-unneeded -o "$dir/built-stripped" "$built/$file"
    cmp -s <(without_stamp "$dir/$file") <(without_stamp "$dir/built-stripped") ||
      fail "$zip: $file is not the build's, stripped"
    ! "${strip_tool%strip}objdump" -h "$dir/$file" | grep -q '\.debug_' ||
      fail "$zip: $file carries debugging sections"
    rm -f "$dir/built-stripped"
  done
  readme="$dir/readme.txt"
  [ "$(head -c 3 "$readme" | od -An -tx1 | tr -d ' ')" = "efbbbf" ] || fail "$zip: readme.txt has no byte-order mark"
  iconv -f UTF-8 -t UTF-8 "$readme" >/dev/null 2>&1 || fail "$zip: readme.txt is not UTF-8"
  if LC_ALL=C grep -qv $'\r$' "$readme" || [ "$(tail -c 2 "$readme" | od -An -tx1 | tr -d ' ')" != "0d0a" ]; then
    fail "$zip: readme.txt has lines without CRLF"
  fi
  for text in "Rozove $version" "インストール" "Rozoveの設定" "繰り返し回数" "右半分を透過情報として扱う" \
    "Wine で使う" "コマンドラインで使う" "不具合の報告" "ライセンス" "Installing" "Settings" "Under Wine" "From the command line" "Reporting a problem" \
    "Licence" "MIT License" "Copyright (c) 2026 The Rozove developers"; do
    grep -qF "$text" "$readme" || fail "$zip: readme.txt lacks \"$text\""
  done
  grep -q '@VERSION@' "$readme" && fail "$zip: readme.txt has an unfilled version"
  echo "package test: $zip: $names checked"
}

# The users' zip, always checked.
if [ -f "$win32_build/zezodav_odevad.auo" ]; then
  zip=$(ROZOVE_PACKAGE_BUILD="$win32_build" bash scripts/package.sh win32 "$work/dist")
  check_zip "$zip" "$win32_build" "$work/win32"
else
  fail "no $win32_build/zezodav_odevad.auo: the users' zip is not checked"
fi
# The zip that this Wine can load.
if [ "$target" = win32 ]; then
  loaded="$work/win32"
  [ "$(basename "${zip:-}")" = "rozove-$version-win32.zip" ] ||
    fail "the users' zip is not named rozove-VERSION-win32.zip: ${zip:-none}"
else
  zip=$(ROZOVE_PACKAGE_BUILD="$build" bash scripts/package.sh win64 "$work/dist")
  check_zip "$zip" "$build" "$work/win64"
  loaded="$work/win64"
fi

exe="$loaded/rozove.exe"
if [ -f "$loaded/zezodav_odevad.auo" ]; then
  cd "$loaded"
  if info=$(timeout 300 "$loader" "$exe" --module 'zezodav_odevad.auo' info 2>&1); then
    grep -q '^name *Rozove' <<<"$info" || fail "loaded from the zip, the table names no Rozove: $info"
    grep -q 'entries *output yes' <<<"$info" || fail "loaded from the zip, the table has no output entry"
  else
    fail "rozove.exe cannot load the plug-in from the zip: $info"
  fi
  if [ -n "${ROZOVE_WINEDEBUG:-}" ]; then echo "$info" >&2; fi  # Wine's diagnostics, when asked for
  if timeout 300 "$loader" "$exe" --module 'zezodav_odevad.auo' demo wine_demo.gif >/dev/null 2>"$work/demo.err"; then
    "$OLDPWD/$linux_build/rozove" demo linux_demo.gif >/dev/null
    if cmp -s wine_demo.gif linux_demo.gif; then
      echo "package test: the plug-in from $(basename "$zip") wrote the Linux build's demo under $target Wine ($(stat -c %s wine_demo.gif) bytes)"
    else
      fail "the demo written under Wine differs from the Linux build's"
    fi
  else
    fail "the plug-in from the zip did not write the demo under Wine"
  fi
  if [ -n "${ROZOVE_WINEDEBUG:-}" ]; then cat "$work/demo.err" >&2; fi
  cd "$OLDPWD"
fi
[ "$failures" -eq 0 ]
