#!/usr/bin/env bash
# Korvel.exe under Wine, driven through window messages by window_e2e_test.exe, against the
# native korvel-devsim over real ICMP; then what the simulator was programmed with is compared
# with the images. Runs inside the namespace and the Wine session that scripts/test-windows makes.
#
# usage: window_e2e.sh CASE KORVEL_EXE WINDOW_E2E_TEST_EXE KORVEL_DEVSIM E2E_CLI_FIXTURE
#   CASE: start | info | program-device | program-subordinate | warning | settings | close-during-run
set -euo pipefail

if (($# != 5)); then
  echo "usage: ${0##*/} CASE KORVEL_EXE WINDOW_E2E_TEST_EXE KORVEL_DEVSIM E2E_CLI_FIXTURE" >&2
  exit 2
fi
case_name=$1 korvel=$2 driver=$3 devsim=$4 fixture=$5
here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$(dirname "$here")")
if [[ ${KORVEL_NETNS:-} != 1 || -z ${WINEPREFIX:-} ]]; then
  echo "window_e2e.sh: run inside scripts/netns-exec and scripts/wine-session" >&2
  exit 2
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/korvel-window-e2e.XXXXXX")
trap 'rm -rf "$work"' EXIT
dumps=$work/dumps
device=127.0.0.2
subordinate=5

fail() {
  echo "FAIL ($case_name): $*" >&2
  exit 1
}

# The drive path under which Wine shows a POSIX path.
windows_path() {
  local path
  path=$(realpath -m "$1")
  echo "Z:${path//\//\\}"
}

"$fixture" image "$work/device.qlxfw" "$work/device.data"
"$fixture" image "$work/sub.qlxfw" "$work/sub.data" "$subordinate"
mkdir -p "$work/Прошивки пульта"
"$fixture" image "$work/Прошивки пульта/образ №1.qlxfw" "$work/settings.data"

declare -A tests=(
  [start]=StartsWithItsControlsTitleAndTabOrder
  [info]=InfoFillsTheInformationBox
  [program-device]=ProgramsABootImage
  [program-subordinate]=ProgramsASubordinateWhileExitAndHelpStayLive
  [warning]=AFailureShowsAWarningWhileTheInputsAreStillOff
  [settings]=SettingsRoundTripThroughTheRegistry
  [close-during-run]=ClosingDuringARunLetsTheRunFinishThenSaves
  [answers]=AnswersThroughoutInfoAtASilentAddressAndThroughoutARun
)
test_name=${tests[$case_name]:-}
[[ -n $test_name ]] || { echo "window_e2e.sh: unknown case $case_name" >&2; exit 2; }

KORVEL_E2E_KORVEL=$(windows_path "$korvel") KORVEL_E2E_WORK=$(windows_path "$work") \
  "$repo/scripts/with-devsim" --devsim "$devsim" --dump-dir "$dumps" --subordinate "$subordinate" \
  -- "$KORVEL_WINE" "$driver" --gtest_filter="WindowE2e.$test_name" >"$work/driver.out" 2>&1 ||
  { cat "$work/driver.out" >&2; fail "the window did not do what was expected"; }
# A filter that matches nothing passes too; exactly the one test must have run.
grep -q '^\[  PASSED  \] 1 test\.' "$work/driver.out" ||
  { cat "$work/driver.out" >&2; fail "WindowE2e.$test_name did not run"; }

case $case_name in
  program-device)
    cmp -s "$dumps/$device.bin" "$work/device.data" ||
      fail "the device's bytes differ from the image's"
    ;;
  program-subordinate | close-during-run)
    cmp -s "$dumps/$device-sub$subordinate.bin" "$work/sub.data" ||
      fail "the subordinate's bytes differ from the image's"
    ;;
esac
grep '^longest' "$work/driver.out" || true
echo "PASS ($case_name)"
