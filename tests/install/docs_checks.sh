# shellcheck shell=bash disable=SC2154
# The docs_agree case of install_test.sh (sourced: uses its fail, rozove,
# build, source_dir). Each source gives its option names, one a line, sorted.

manual_text() {
  groff -man -Tascii -P-cbou -ww "$build/packaging/rozove.1" 2>groff.txt
  [ ! -s groff.txt ] || fail "groff warns about the manual page: $(cat groff.txt)"
}

# SECTION of the rendered page, without its heading.
manual_section() {
  awk -v name="$1" '$0 == name { on = 1; next } /^[A-Z]/ { on = 0 } on' manual.txt
}

# The words of a line up to the first that is no option: "-q, --quiet".
leading_options() {
  awk '{ for (i = 1; i <= NF; i++) { w = $i; sub(/,$/, "", w); if (w !~ /^-/) break; print w } }'
}

help_options() {
  "$rozove" --help | awk '/^Options:/ { on = 1; next } /^$/ { on = 0 } on && /^  -/' | leading_options | LC_ALL=C sort -u
}

# The page's options are the tags of its OPTIONS section: the first line
# of each paragraph.
manual_options() {
  manual_section OPTIONS | awk 'blank && /^       -/ { print } { blank = ($0 == "") }' | leading_options | LC_ALL=C sort -u
}

# README's "### Commands": every option it writes, in the synopsis or the text.
readme_commands() {
  awk '/^### Commands/ { on = 1; next } /^##/ { on = 0 } on' "$source_dir/README.md"
}

readme_options() {
  readme_commands | grep -oE '(^|[][ `(|])--?[a-z][a-z-]*' | sed 's/^[][ `(|]//' | LC_ALL=C sort -u
}

# What the completion offers after WORDS..., the last word being completed.
complete_words() {
  bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _rozove; printf "%s\n" "${COMPREPLY[@]}"' \
    completion "$source_dir/packaging/rozove.bash-completion" "$@" 2>/dev/null | LC_ALL=C sort
}

exit_statuses() {
  grep -oE '\b[0-9]+\b' | LC_ALL=C sort -un | tr '\n' ' '
}

check_completion() {
  touch clip.y4m
  local before current expected got
  # The words before the one completed | that word | what it completes to.
  while IFS='|' read -r before current expected; do
    # shellcheck disable=SC2086
    got=$(complete_words rozove $before "$current" | tr '\n' ' ' | sed 's/ $//')
    [ "$got" == "$expected" ] || fail "completing [rozove $before $current]: [$got], expected [$expected]"
  done <<'TABLE'
|e|export
--loop 2|d|demo
demo|--f|
export|--fr|--frames
info|--m|--module
--loop = 2 export|--w|--width
export --width||
export|cl|clip.y4m
--module|cl|clip.y4m
TABLE
  got=$(bash -c 'source "$1"; complete -p rozove' completion "$source_dir/packaging/rozove.bash-completion")
  [ "$got" == "complete -F _rozove rozove" ] || fail "the completion registers [$got]"
}

check_docs() {
  manual_text >manual.txt
  local help
  help=$(help_options)
  [ "$(echo "$help" | wc -l)" -ge 10 ] || fail "too few options read from --help: $help"
  [ "$(manual_options)" == "$help" ] || fail "the manual page's options [$(manual_options | xargs)] are not --help's [$(xargs <<<"$help")]"
  [ "$(readme_options)" == "$help" ] || fail "README's command options [$(readme_options | xargs)] are not --help's [$(xargs <<<"$help")]"
  local completed
  completed=$(complete_words rozove -)
  [ "$completed" == "$help" ] || fail "the completion's options [$(xargs <<<"$completed")] are not --help's [$(xargs <<<"$help")]"

  local statuses
  statuses=$("$rozove" --help | sed -n '/^Exit status/,$p' | exit_statuses)
  [ "$statuses" == "0 1 2 128 129 130 143 " ] || fail "--help's exit statuses: [$statuses]"
  [ "$(manual_section 'EXIT STATUS' | exit_statuses)" == "$statuses" ] ||
    fail "the manual page's exit statuses [$(manual_section 'EXIT STATUS' | exit_statuses)] are not --help's [$statuses]"
  local readme_statuses
  readme_statuses=$(readme_commands | tr '\n' ' ' | grep -oE 'Exit status:[^.]*interrupted' | exit_statuses)
  [ "$readme_statuses" == "$statuses" ] || fail "README's exit statuses [$readme_statuses] are not --help's [$statuses]"

  local readme_synopsis manual_synopsis
  readme_synopsis=$(readme_commands | grep '^    rozove\|^           ' | xargs)
  manual_synopsis=$(manual_section SYNOPSIS | xargs)
  [ "$manual_synopsis" == "$readme_synopsis" ] ||
    fail "synopsis: the manual page's [$manual_synopsis] is not README's [$readme_synopsis]"
  # Written for the installed rozove: no build folder, the version in the footer.
  local version usage
  usage=$("$rozove" --help)
  [[ "$usage" != *build/* ]] || fail "--help names a build folder: $(grep 'build/' <<<"$usage")"
  version=$(sed -n 's/^project(rozove VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")
  tail -1 manual.txt | grep -q "^rozove $version " || fail "the manual page's footer: [$(tail -1 manual.txt)]"
  grep -q '^ENVIRONMENT' manual.txt || fail "the manual page has no ENVIRONMENT section"
  check_completion
}
