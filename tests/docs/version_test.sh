#!/usr/bin/env bash
# The version is set once, in project(VERSION): korvel-cli --version, the manual pages built from
# data/man and the newest entry of the Debian changelog must all say the same.
#
# usage: version_test.sh VERSION KORVEL_CLI BUILT_MAN_DIR CHANGELOG
set -uo pipefail
version=$1 cli=$2 man_dir=$3 changelog=$4
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

said=$("$cli" --version) || fail "korvel-cli --version exited $?"
[[ $said == "$version" ]] || fail "korvel-cli --version says '$said', the project is $version"

for page in "$man_dir"/*.1; do
  # The title line; a page with a table starts with the preprocessor line '\" t before it.
  header=$(grep -m 1 '^\.TH ' "$page")
  [[ $header == *"\"Korvel $version\""* ]] || fail "$(basename "$page"): header '$header'"
done
ls "$man_dir"/*.1 >/dev/null 2>&1 || fail "no manual pages in $man_dir"

newest=$(sed -n '1s/^korvel (\([^)]*\)).*/\1/p' "$changelog")
[[ $newest == "$version" ]] ||
  fail "data/debian/changelog: newest entry is '$newest'; a release of $version needs its entry"

echo "version: $((failures == 0 ? 1 : 0)) passed, $((failures == 0 ? 0 : 1)) failed"
((failures == 0))
