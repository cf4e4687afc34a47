# shellcheck shell=bash disable=SC2154
# The deb case of install_test.sh (sourced: uses its fail, run, files_under,
# expect_installed_rozove, installed_files, build, work, source_dir).

check_deb() {
  local deb version
  version=$(sed -n 's/^project(rozove VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")
  deb=$(ROZOVE_PACKAGE_BUILD="$build" bash "$source_dir/scripts/package.sh" linux "$work/dist" 2>package.txt) ||
    { fail "package.sh linux: $(tail -5 package.txt)"; return; }
  [ "$deb" == "$work/dist/rozove_${version}_amd64.deb" ] || fail "package.sh linux wrote [$deb]"
  [ -f "$deb" ] || return

  local files
  files=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sed 's|^\./usr/||' | LC_ALL=C sort)
  [ "$files" == "$installed_files" ] || fail "the package holds: $files"
  # No maintainer script: nothing runs on install or removal.
  local control
  control=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | LC_ALL=C sort | tr '\n' ' ')
  [ "$control" == "./control ./md5sums " ] || fail "the package's control part holds: $control"
  check_deb_depends "$deb"
  check_deb_as_debian_checks "$deb"
  if [ "$(id -u)" -eq 0 ]; then
    check_deb_in_scratch_root "$deb"
  else
    echo "not root: the package is not installed into a scratch root"
  fi
}

# Depends names real Debian packages (installed here, where the build
# linked them), FFmpeg's libraries among them when the build reads video.
check_deb_depends() {
  local depends name
  depends=$(dpkg-deb -f "$1" Depends)
  [[ "$depends" == *libc6* ]] || fail "Depends: [$depends] lacks libc6"
  if "$rozove" --version | grep -q "FFmpeg's libraries"; then
    for name in libavformat libavcodec libswscale libavutil; do
      [[ "$depends" == *"$name"[0-9]* ]] || fail "Depends: [$depends] lacks $name"
    done
  fi
  # shellcheck disable=SC2013  # package names: words, not lines
  for name in $(sed -e 's/([^)]*)//g' -e 's/[,|]/ /g' <<<"$depends"); do
    dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q 'install ok installed' ||
      fail "Depends names $name, which is no package installed here"
  done
}

# As a Debian maintainer checks a package: lintian --pedantic finds no
# error or warning (its notes are left to the packaging files), the terms
# are in Debian's machine-readable form, and every program is hardened as
# dpkg-buildflags builds Debian's: stack protector, fortified calls,
# read-only relocations bound at start.
check_deb_as_debian_checks() {
  local tree=$work/deb-tree elf dynamic symbols
  if command -v lintian >/dev/null; then
    lintian --pedantic --tag-display-limit 0 "$1" >lintian.txt 2>&1
    ! grep -E '^(E|W):' lintian.txt || fail "lintian: $(grep -E '^(E|W):' lintian.txt | tr '\n' ' ')"
  else
    echo "no lintian: the package's lintian check is skipped"
  fi
  dpkg-deb -x "$1" "$tree"
  grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
    "$tree/usr/share/doc/rozove/copyright" || fail "the copyright file is not in Debian's format"
  [[ "$(zcat "$tree/usr/share/doc/rozove/changelog.gz")" == "rozove ($version) "* ]] ||
    fail "changelog.gz names no $version first"
  # The sanitizers' build is not the one users get, and is built without the hardening.
  if grep -q '^ROZOVE_SANITIZE:BOOL=ON' "$build/CMakeCache.txt"; then
    echo "a sanitizer build: its programs' hardening is not checked"
    return
  fi
  for elf in usr/bin/rozove usr/lib/rozove/zezodav_odevad.so usr/lib/rozove/rozove_video.so; do
    [ -f "$tree/$elf" ] || continue
    # Read whole first: grep -q stopping a pipe early would fail it under pipefail.
    dynamic=$(readelf -dlW "$tree/$elf")
    symbols=$(readelf --dyn-syms -W "$tree/$elf")
    grep -q 'FLAGS.*\bNOW\b' <<<"$dynamic" || fail "$elf: not bound at start (BIND_NOW)"
    grep -q GNU_RELRO <<<"$dynamic" || fail "$elf: no read-only relocations"
    grep -q __stack_chk_fail <<<"$symbols" || fail "$elf: no stack protector"
    grep -q '__[a-z]*printf_chk' <<<"$symbols" || fail "$elf: no fortified calls"
  done
}

# dpkg --root installs into an empty root (its dependencies are this
# machine's, outside it); the installed rozove runs there; removal leaves
# only dpkg's own records.
check_deb_in_scratch_root() {
  local root=$work/root leftovers
  mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
  touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
  dpkg --root="$root" --force-depends -i "$1" >dpkg.txt 2>&1 || fail "dpkg --root -i: $(cat dpkg.txt)"
  [ "$(files_under "$root/usr")" == "$installed_files" ] || fail "dpkg --root installed: $(files_under "$root/usr")"
  expect_installed_rozove "$root/usr"
  dpkg --root="$root" -r rozove >dpkg.txt 2>&1 || fail "dpkg --root -r: $(cat dpkg.txt)"
  leftovers=$(cd "$root" && find . -mindepth 1 -not -path './var' -not -path './var/lib' -not -path './var/lib/dpkg*')
  [ -z "$leftovers" ] || fail "left after removal: $leftovers"
  ! compgen -G "$root/var/lib/dpkg/info/rozove.*" >/dev/null || fail "dpkg keeps records of rozove after removal"
}
