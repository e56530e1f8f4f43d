#!/usr/bin/env bash
# A manual page and its program's --help must name the same subcommands and options, so that
# neither can change without the other:
#  - every subcommand of --help has an entry (.TP) and a synopsis line in the page;
#  - every option of --help and of each subcommand's --help has an entry, and (but for --help)
#    stands in that subcommand's synopsis;
#  - every option of an entry or a synopsis line exists: in some --help, or for a synopsis line
#    in that subcommand's --help.
#
# usage: man_page_test.sh PROGRAM MAN_PAGE
set -uo pipefail
program=$1 page=$2
name=$(basename "$program")
failures=0
fail() { echo "FAIL: $(basename "$page"): $*" >&2; failures=$((failures + 1)); }

# The options of one --help text, one a line: "-h,--help" gives -h and --help.
help_options() {
  grep -E '^ {1,4}-' | awk '{print $1}' | tr ',' '\n' | grep -E '^-' | sort -u
}
help_subcommands() {
  awk '/^[^ ].*:$/ { in_list = ($0 == "Subcommands:"); next }
       in_list && /^  [a-z]/ { print $1 }'
}
# Every option named on the lines read: -x or --xyz standing as a word of its own.
option_words() {
  grep -oE '(^|[^A-Za-z0-9_-])--?[A-Za-z][A-Za-z0-9-]*' | sed -E 's/^[^-]+//' | sort -u
}
# groff as plain words: \- is a dash, font changes and special characters go.
plain() { sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' -e 's/\\(..//g'; }
# The tag line after each .TP: the entries of the page.
entries() { awk 'tagged { print; tagged = 0 } /^\.TP/ { tagged = 1 }' "$page" | plain; }
# The synopsis, one group a line: "SUBCOMMAND option option ..." ("-" for the program alone).
synopsis_groups() {
  sed -n '/^\.SH SYNOPSIS/,/^\.SH /p' "$page" | plain | awk -v program="$name" '
    $1 ~ /^\.B/ && $2 == program {
      if (group != "") print group
      group = ($3 == "" || $3 ~ /^-/) ? "-" : $3
      for (i = 3; i <= NF; i++) if ($i ~ /^-/) group = group " " $i
      next
    }
    { for (i = 1; i <= NF; i++) if ($i ~ /^[[{|]?-/) { w = $i; gsub(/[][{}|]/, "", w); group = group " " w } }
    END { if (group != "") print group }'
}
contains_line() { grep -qxF -- "$2" <<<"$1"; }

top_help=$("$program" --help) || fail "$name --help exited $?"
subcommands=$(help_subcommands <<<"$top_help")
entry_options=$(entries | option_words)
entry_words=$(entries | awk '{ print $2 }')
groups=$(synopsis_groups)
all_options=$(help_options <<<"$top_help")

check_documented() {  # OWNER OPTIONS
  local owner=$1 option
  for option in $2; do
    contains_line "$entry_options" "$option" || fail "$owner $option has no entry in OPTIONS"
  done
}

check_documented "$name" "$(help_options <<<"$top_help")"
for subcommand in $subcommands; do
  help=$("$program" "$subcommand" --help) || fail "$name $subcommand --help exited $?"
  options=$(help_options <<<"$help")
  all_options=$(printf '%s\n%s\n' "$all_options" "$options" | sort -u)
  contains_line "$entry_words" "$subcommand" || fail "subcommand $subcommand has no entry"
  group=$(awk -v s="$subcommand" '$1 == s' <<<"$groups")
  if [[ -z $group ]]; then
    fail "subcommand $subcommand is not in the SYNOPSIS"
    continue
  fi
  check_documented "$name $subcommand" "$options"
  for option in $options; do
    [[ $option == -h || $option == --help ]] && continue
    grep -qw -- "$option" <<<"${group#* }" || fail "$subcommand $option is not in its SYNOPSIS line"
  done
  for option in $(tr ' ' '\n' <<<"${group#"$subcommand"}" | grep -E '^-'); do
    contains_line "$options" "$option" ||
      fail "the SYNOPSIS gives $subcommand $option, which $name $subcommand --help does not know"
  done
done

top_options=$(help_options <<<"$top_help")
while read -r subcommand options; do
  if [[ $subcommand == - ]]; then
    for option in $options; do
      contains_line "$top_options" "$option" ||
        fail "the SYNOPSIS gives $name $option, which $name --help does not know"
    done
    continue
  fi
  [[ -z $subcommand ]] && continue
  contains_line "$subcommands" "$subcommand" ||
    fail "the SYNOPSIS names subcommand $subcommand, which $name --help does not list"
done <<<"$groups"
for option in $entry_options; do
  contains_line "$all_options" "$option" || fail "the entry $option is no option of $name"
done

echo "$(basename "$page"): $((failures == 0 ? 1 : 0)) passed, $((failures == 0 ? 0 : 1)) failed"
((failures == 0))
