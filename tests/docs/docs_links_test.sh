#!/usr/bin/env bash
# Every relative link and image of README.md and docs/*.md leads somewhere: the file exists,
# and a #section names a heading of that page. Addresses with a scheme (https:, mailto:) are
# left alone; this test never goes on the network.
#
# usage: docs_links_test.sh SOURCE_DIR
set -uo pipefail
root=$1
failures=0
checked=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# The anchors of a Markdown page's headings, as the hosting sites make them: lower case, spaces to
# dashes, punctuation dropped.
anchors() {
  sed -n '/^```/,/^```/d; s/^#\{1,6\} \{1,\}//p' "$1" |
    sed -E 's/[`*_]//g; s/[^[:alnum:] -]//g; s/ /-/g' | tr '[:upper:]' '[:lower:]'
}

# The targets of [text](target) and ![alt](target), and of <img src="target">, outside code blocks
# and code spans.
targets() {
  sed '/^```/,/^```/d' "$1" | sed -E 's/`[^`]*`//g' |
    grep -oE '\]\([^) ]+( "[^"]*")?\)|<img [^>]*src="[^"]+"' |
    sed -E 's/^\]\(([^) ]+).*\)$/\1/; s/^<img .*src="([^"]+)"$/\1/'
}

pages=("$root/README.md" "$root"/docs/*.md)
for page in "${pages[@]}"; do
  [[ -f $page ]] || { fail "no $page"; continue; }
  dir=$(dirname "$page")
  while IFS= read -r target; do
    [[ -z $target ]] && continue
    [[ $target =~ ^[a-zA-Z][a-zA-Z0-9+.-]*: ]] && continue
    checked=$((checked + 1))
    file=${target%%#*}
    anchor=
    [[ $target == *"#"* ]] && anchor=${target#*#}
    linked=$page
    if [[ -n $file ]]; then
      linked=$dir/$file
      if [[ ! -e $linked ]]; then
        fail "${page#"$root"/}: $target: no such file"
        continue
      fi
    fi
    if [[ -n $anchor && -f $linked && $linked == *.md ]]; then
      anchors "$linked" | grep -qxF -- "$anchor" ||
        fail "${page#"$root"/}: $target: no heading makes #$anchor"
    fi
  done < <(targets "$page")
done

echo "docs links: $checked checked"
echo "docs links: $((failures == 0 ? 1 : 0)) passed, $((failures == 0 ? 0 : 1)) failed"
((failures == 0))
