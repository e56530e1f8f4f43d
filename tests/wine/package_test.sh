#!/usr/bin/env bash
# The Windows download as an operator gets it: unpacks the zip, checks what it holds and that the
# programs need no DLL that Windows does not bring, then runs both programs under Wine in a fresh
# prefix: korvel-cli.exe reads an image's summary, Korvel.exe opens its window, shows the first
# start's defaults and closes (window_e2e_test.exe drives it). Runs inside scripts/netns-exec.
#
# usage: package_test.sh ZIP WINDOW_E2E_TEST_EXE E2E_CLI_FIXTURE OBJDUMP
set -euo pipefail

if (($# != 4)); then
  echo "usage: ${0##*/} ZIP WINDOW_E2E_TEST_EXE E2E_CLI_FIXTURE OBJDUMP" >&2
  exit 2
fi
zip=$1 driver=$2 fixture=$3 objdump=$4
here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$(dirname "$here")")

work=$(mktemp -d "${TMPDIR:-/tmp}/korvel-package-test.XXXXXX")
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAIL (package): $*" >&2
  exit 1
}

(cd "$work" && cmake -E tar xf "$zip") || fail "cannot unpack $zip"
name=$(basename "$zip" .zip)
folder=$work/$name
[[ -d $folder ]] || fail "the zip has no folder $name"
expected="Korvel.exe README.txt data docs korvel-cli.exe"
[[ -f $repo/LICENSE ]] && expected="Korvel.exe LICENSE.txt README.txt data docs korvel-cli.exe"
held=$(cd "$folder" && LC_ALL=C ls | tr '\n' ' ' | sed 's/ $//')
[[ $held == "$(echo "$expected" | tr ' ' '\n' | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//')" ]] ||
  fail "the zip holds: $held"
grep -q $'\r$' "$folder/README.txt" || fail "README.txt does not have Windows line ends"
# The README's links and images lead to files of the zip.
while IFS= read -r target; do
  [[ -e $folder/$target ]] || fail "README.txt links to $target, which the zip does not hold"
done < <(grep -oE '\]\((docs|data)/[^)# ]+' "$folder/README.txt" | sed 's/^](//')

# A fresh prefix: what a Windows machine has, and nothing a build left behind.
KORVEL_WINE_FRESH=$work/prefix
"$repo/scripts/wine-session" "$KORVEL_WINE_FRESH" -- bash -s "$folder" "$driver" "$fixture" \
  "$objdump" "$work" "$here" <<'SESSION' || fail "a program did not run in the fresh prefix"
set -euo pipefail
folder=$1 driver=$2 fixture=$3 objdump=$4 work=$5 here=$6
system32=$WINEPREFIX/drive_c/windows/system32
for exe in Korvel.exe korvel-cli.exe; do
  while read -r dll; do
    [[ -n $(find "$system32" -maxdepth 1 -iname "$dll" -print -quit) ]] ||
      { echo "$exe needs $dll, which Windows does not bring" >&2; exit 1; }
  done < <("$objdump" -p "$folder/$exe" | sed -n 's/^\s*DLL Name: //p')
done

"$fixture" image "$work/образ.qlxfw" "$work/image.data"
summary=$("$here/wine-console" "$folder/korvel-cli.exe" summary "$work/образ.qlxfw")
[[ $summary == \'* ]] || { echo "korvel-cli.exe summary said: $summary" >&2; exit 1; }

KORVEL_E2E_KORVEL="Z:${folder//\//\\}\\Korvel.exe" KORVEL_E2E_WORK="Z:${work//\//\\}" \
  "$KORVEL_WINE" "$driver" --gtest_filter=WindowE2e.AFirstStartShowsTheDefaults >"$work/driver.out" 2>&1 ||
  { cat "$work/driver.out" >&2; exit 1; }
grep -q '^\[  PASSED  \] 1 test\.' "$work/driver.out" ||
  { cat "$work/driver.out" >&2; echo "the window's first start was not checked" >&2; exit 1; }
SESSION
echo "PASS (package)"
