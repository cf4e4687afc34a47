#!/usr/bin/env bash
# rozove as Linux users install it, one case per CTest entry:
#   prefix      cmake --install --strip into a scratch prefix: exactly its
#               files, stripped,
#               and the installed rozove, run from another folder (and
#               through a link), finds its module there and writes the
#               build's demo byte for byte; --module still overrides; a
#               missing module is one clear error that touches no output.
#   deb         scripts/package.sh linux: the package's files, its declared
#               dependencies (real Debian packages, FFmpeg's among them), no
#               maintainer script, lintian --pedantic clean, the terms and
#               changelog, hardened programs; as root, installed with dpkg --root into
#               a scratch root, run there, removed without a trace.
#   docs_agree  the options of rozove --help, the manual page, the README's
#               command section and the bash completion are the same, and so
#               are the exit statuses of the first three and the synopses of
#               the page and the README; the help's examples and the page's
#               footer are the installed rozove's; the completion completes.
# Usage: install_test.sh CASE BUILD_DIR GIF_PROBE WORKDIR
set -uo pipefail

case_name=$1
build=$(cd "$2" && pwd)
gif_probe=$3
work=$4/$case_name
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
rozove=$build/rozove

rm -rf "$work"
mkdir -p "$work/elsewhere"
# rozove names its module by its canonical path.
work=$(cd "$work" && pwd -P)
cd "$work/elsewhere" || exit 1

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# run PROGRAM [ARGS...]: sets status, out, err.
run() {
  timeout -k 5 120 "$@" >out.txt 2>err.txt
  status=$?
  out=$(cat out.txt)
  err=$(cat err.txt)
}

# The files under ROOT, one relative path a line, sorted.
files_under() {
  (cd "$1" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)
}

installed_files='bin/rozove
lib/rozove/zezodav_odevad.so
share/bash-completion/completions/rozove
share/doc/rozove/changelog.gz
share/doc/rozove/copyright
share/man/man1/rozove.1.gz'
# A build that reads video has its decoder beside the module.
if "$rozove" --version | grep -q "FFmpeg's libraries"; then
  installed_files=$(printf '%s\n' "$installed_files" lib/rozove/rozove_video.so | LC_ALL=C sort)
fi

# expect_installed_rozove ROOT: ROOT/bin/rozove, run from this folder, loads
# ROOT/lib/rozove's module and writes the build's demo.
expect_installed_rozove() {
  local root=$1
  "$rozove" -q demo reference.gif || fail "the build's rozove cannot write the demo"
  run "$root/bin/rozove" -q demo demo.gif
  [ "$status" -eq 0 ] || fail "$root/bin/rozove demo: exit status $status: $err"
  "$gif_probe" demo.gif >probe.txt 2>&1 || fail "giflib cannot read the installed rozove's demo: $(cat probe.txt)"
  grep -qx 'frames 90' probe.txt || fail "the installed rozove's demo: $(grep '^frames' probe.txt)"
  cmp -s demo.gif reference.gif || fail "the installed rozove's demo differs from the build's"
  run "$root/bin/rozove" --version
  local want="module: Rozove from $root/lib/rozove/zezodav_odevad.so (the default"
  [[ "$out" == *"$want"* ]] || fail "--version of the installed rozove: [$out], expected [$want ...]"
}

case "$case_name" in
prefix)
  prefix=$work/prefix
  cmake --install "$build" --prefix "$prefix" --strip >install.txt 2>&1 || fail "cmake --install: $(cat install.txt)"
  [ "$(files_under "$prefix")" == "$installed_files" ] || fail "installed: $(files_under "$prefix")"
  sections=$(readelf -SW "$prefix/bin/rozove" "$prefix/lib/rozove/zezodav_odevad.so")
  [[ "$sections" != *.debug_* ]] || fail "cmake --install --strip left debugging sections"
  expect_installed_rozove "$prefix"
  # A link on the PATH to the installed rozove still finds the module.
  ln -s "$prefix/bin/rozove" linked-rozove
  run ./linked-rozove --version
  [[ "$out" == *"from $prefix/lib/rozove/zezodav_odevad.so"* ]] || fail "through a link: $out"
  run "$prefix/bin/rozove" --module "$build/zezodav_odevad.so" --version
  [[ "$out" == *"from $build/zezodav_odevad.so (--module)"* ]] || fail "--module over the installed one: $out"
  # Without its module the installed rozove names the file it looked for,
  # and an existing output stays as it was.
  mv "$prefix/lib/rozove/zezodav_odevad.so" "$work/moved.so"
  printf 'KEEP' >kept.gif
  run "$prefix/bin/rozove" demo kept.gif
  [ "$status" -eq 1 ] || fail "missing module: exit status $status"
  [ "$(printf '%s' "$err" | grep -c '')" -eq 1 ] || fail "missing module: not one line: $err"
  [[ "$err" == "rozove: "*"$prefix/lib/rozove/zezodav_odevad.so"* ]] || fail "missing module: $err"
  [ "$(cat kept.gif)" == KEEP ] || fail "missing module: the existing output was touched"
  run "$prefix/bin/rozove" --version
  if [ "$status" -ne 0 ] || [[ "$out" != *"module: none loaded (the default"*"lib/rozove/zezodav_odevad.so"* ]]; then
    fail "--version without the module: exit status $status: $out"
  fi
  ;;
deb)
  . "$source_dir/tests/install/deb_checks.sh"
  check_deb
  ;;
docs_agree)
  . "$source_dir/tests/install/docs_checks.sh"
  check_docs
  ;;
*)
  echo "unknown case $case_name" >&2
  exit 2
  ;;
esac

if [ "$failures" -gt 0 ]; then
  echo "$case_name: $failures failure(s)" >&2
  exit 1
fi
echo "$case_name: passed"
