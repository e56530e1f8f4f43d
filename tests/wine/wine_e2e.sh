#!/usr/bin/env bash
# What Windows adds to the korvel-cli end-to-end runs (tests/e2e/cli_e2e.sh): korvel-cli.exe under
# Wine against the native korvel-devsim, on the blocking echo path of Windows before version 6,
# and with ICMP taken away from Wine's echo service. Runs inside the namespace and the Wine
# session that scripts/test-windows makes (scripts/netns-exec, scripts/wine-session).
#
# usage: wine_e2e.sh CASE KORVEL_CLI_EXE KORVEL_DEVSIM E2E_CLI_FIXTURE
#   CASE: old-windows | icmp-refused | icmp-refused-old-windows | cyrillic-path
set -euo pipefail

if (($# != 4)); then
  echo "usage: ${0##*/} CASE KORVEL_CLI_EXE KORVEL_DEVSIM E2E_CLI_FIXTURE" >&2
  exit 2
fi
case_name=$1 cli=$2 devsim=$3 fixture=$4
here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$(dirname "$here")")
if [[ ${KORVEL_NETNS:-} != 1 || -z ${WINEPREFIX:-} ]]; then
  echo "wine_e2e.sh: run inside scripts/netns-exec and scripts/wine-session" >&2
  exit 2
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/korvel-wine-e2e.XXXXXX")
ping_groups=/proc/sys/net/ipv4/ping_group_range
saved_ping_groups=$(cat "$ping_groups")
trap 'echo "$saved_ping_groups" >"$ping_groups"; rm -rf "$work"' EXIT
dumps=$work/dumps
log=$work/devsim.jsonl
device=127.0.0.2
credentials=(--ip "$device" --login admin --password admin)

fail() {
  echo "FAIL ($case_name): $*" >&2
  for file in cli.out cli.err run.err; do
    [[ -s $work/$file ]] && { echo "--- $file" >&2; cat "$work/$file" >&2; }
  done
  exit 1
}

# A text of the program, from the one place that holds them all.
program_text() {
  sed -n "s/^inline constexpr char $1\[\] = \"\(.*\)\";$/\1/p" "$repo/src/common/texts.h"
}

# Windows before version 6 is what Wine reports to this copy of the program, so that it takes the
# blocking IcmpSendEcho path (time to live 15).
old_windows_cli() {
  local copy=$work/korvel-cli-oldwin.exe
  cp "$cli" "$copy"
  "$KORVEL_WINE" reg add 'HKCU\Software\Wine\AppDefaults\korvel-cli-oldwin.exe' /v Version \
    /d winxp64 /f >/dev/null 2>&1 || fail "cannot set the Windows version for $copy"
  cli=$copy
}

# Runs korvel-cli.exe next to the simulator (DEVSIM OPTIONS... -- CLI ARGS...); sets `status` and
# `elapsed_ms`. The program's stdout and stderr go to cli.out and cli.err.
run_cli() {
  local devsim_args=()
  while [[ $1 != -- ]]; do
    devsim_args+=("$1")
    shift
  done
  shift
  rm -rf "$dumps" "$log"
  local started
  started=$(date +%s%N)
  status=0
  "$repo/scripts/with-devsim" --devsim "$devsim" --dump-dir "$dumps" --log "$log" \
    "${devsim_args[@]}" -- bash -c 'exec "$@" 2>"$0"' "$work/cli.err" \
    "$here/wine-console" "$cli" "$@" >"$work/cli.out" 2>"$work/run.err" || status=$?
  elapsed_ms=$((($(date +%s%N) - started) / 1000000))
}

expect_status() {
  ((status == $1)) || fail "korvel-cli.exe exited $status, expected $1"
}

# With ICMP refused every send returns at once: the information query's 10 x 5 sends would take
# 50 s if any of them waited for its timeout.
expect_quick() {
  ((elapsed_ms < 10000)) || fail "took ${elapsed_ms} ms: a send waited for its timeout"
}

expect_device_untouched() {
  [[ ! -s $log ]] || fail "a request reached the device: $(head -n 1 "$log")"
  [[ -z $(find "$dumps" -type f -size +0 2>/dev/null) ]] || fail "the device holds programmed bytes"
}

refuse_icmp() {
  # The Wine session runs as group 0 without CAP_NET_RAW; its ping sockets need this range.
  echo "1 1" >"$ping_groups"
}

check_refused_run() {  # FIRST-LINE-OF-THE-INFORMATION
  run_cli -- info "${credentials[@]}"
  expect_status 1
  expect_quick
  [[ $(head -n 1 "$work/cli.out") == "$1" ]] || fail "the information query did not say: $1"
  expect_device_untouched

  "$fixture" image "$work/device.qlxfw" "$work/device.data"
  run_cli -- program "$work/device.qlxfw" "${credentials[@]}"
  expect_status 1
  [[ -s $work/cli.err ]] || fail "the programming run reported no failure"
  ! grep -q "Board Id" "$work/cli.out" || fail "device information appeared"
  expect_device_untouched
}

case $case_name in
  old-windows)
    old_windows_cli
    run_cli -- info "${credentials[@]}"
    expect_status 0
    [[ $(head -n 1 "$work/cli.out") == "'BOOT'" ]] || fail "no device information on stdout"
    "$fixture" image "$work/device.qlxfw" "$work/device.data"
    run_cli -- program "$work/device.qlxfw" "${credentials[@]}"
    expect_status 0
    [[ $(<"$work/cli.err") == "Programmed 810 bytes in 5 records into the device itself in "*" s"* &&
      $(wc -l <"$work/cli.err") == 1 ]] || fail "stderr holds more than the closing line"
    cmp -s "$dumps/$device.bin" "$work/device.data" || fail "the device's bytes differ from the image's"
    ;;

  icmp-refused | icmp-refused-old-windows)
    # Under Wine the blocking call goes on every version: it hands back the reason, and the
    # query names it.
    [[ $case_name == icmp-refused ]] || old_windows_cli
    refuse_icmp
    check_refused_run "$(program_text kNoIcmpAccess)"
    grep -q "^IcmpSendEcho: " "$work/cli.out" || fail "the refused call is not named"
    [[ $(head -n 1 "$work/cli.err") == "$(program_text kNoIcmpAccess)" ]] ||
      fail "the programming run did not stop on the ICMP diagnosis"
    ;;

  cyrillic-path)
    # Operators keep images in folders named in Russian; such a name is not in every ANSI code
    # page (Wine's here is 1252), so the program must take its arguments in UTF-16.
    folder="$work/Прошивки пульта"
    mkdir -p "$folder"
    "$fixture" image "$folder/образ №1.qlxfw" "$work/device.data"
    run_cli -- program "$folder/образ №1.qlxfw" "${credentials[@]}"
    expect_status 0
    [[ $(<"$work/cli.err") == "Programmed 810 bytes in 5 records into the device itself in "*" s"* &&
      $(wc -l <"$work/cli.err") == 1 ]] || fail "stderr holds more than the closing line"
    cmp -s "$dumps/$device.bin" "$work/device.data" || fail "the device's bytes differ from the image's"
    ;;

  *)
    echo "wine_e2e.sh: unknown case $case_name" >&2
    exit 2
    ;;
esac
echo "PASS ($case_name)"
