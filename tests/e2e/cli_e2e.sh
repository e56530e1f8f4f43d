#!/usr/bin/env bash
# korvel-cli against korvel-devsim over real ICMP, in a private network namespace of its own
# (scripts/with-devsim). One case per run, so that CTest reports each on its own.
#
# usage: cli_e2e.sh CASE KORVEL_CLI KORVEL_DEVSIM E2E_CLI_FIXTURE
#   CASE: info | program-device | program-subordinate | via-boot-refused
#
# Exits 0 when the case passes, 1 when it fails, 77 when this machine allows no namespace.
set -euo pipefail

if (($# != 4)); then
  echo "usage: ${0##*/} CASE KORVEL_CLI KORVEL_DEVSIM E2E_CLI_FIXTURE" >&2
  exit 2
fi
case_name=$1 cli=$2 devsim=$3 fixture=$4
with_devsim=$(cd "$(dirname "$0")/../../scripts" && pwd)/with-devsim

work=$(mktemp -d "${TMPDIR:-/tmp}/korvel-cli-e2e.XXXXXX")
trap 'rm -rf "$work"' EXIT
dumps=$work/dumps
log=$work/devsim.jsonl
device=127.0.0.2
sub_home=5

fail() {
  echo "FAIL ($case_name): $*" >&2
  for file in cli.out cli.err run.err; do
    [[ -s $work/$file ]] && { echo "--- $file" >&2; cat "$work/$file" >&2; }
  done
  exit 1
}

# Runs korvel-cli next to the simulator: DEVSIM OPTIONS... -- CLI ARGS...; standard input is
# passed on. The program's own stderr goes to cli.err, the simulator's and the namespace
# script's to run.err. Sets `status` to korvel-cli's exit status.
run_cli() {
  local devsim_args=()
  while [[ $1 != -- ]]; do
    devsim_args+=("$1")
    shift
  done
  shift
  status=0
  "$with_devsim" --devsim "$devsim" --dump-dir "$dumps" --log "$log" "${devsim_args[@]}" -- \
    bash -c 'exec "$@" 2>"$0"' "$work/cli.err" "$cli" "$@" >"$work/cli.out" 2>"$work/run.err" ||
    status=$?
  if ((status == 77)); then
    cat "$work/run.err" >&2
    exit 77
  fi
}

expect_status() {
  ((status == $1)) || fail "korvel-cli exited $status, expected $1"
}

expect_same() {  # FILE EXPECTED-FILE WHAT
  [[ -f $1 ]] || fail "$3: $1 is missing"
  cmp -s "$1" "$2" || fail "$3: $(stat -c %s "$1") bytes differ from the $(stat -c %s "$2") expected"
}

# Lines of the simulator's log for one kind of request.
log_lines() { grep -F "\"kind\":\"$1\"" "$log" || true; }

credentials=(--ip "$device" --login admin --password admin)

case $case_name in
  info)
    # The password comes through standard input, as an operator keeps it out of the process list.
    run_cli --board-id 0xCAFE --serial 12.34 --text1 Relay --text2 Main --boot-version 3.1 \
      --program-version 4.15 -- info --ip "$device" --login admin --password-stdin <<<"admin"
    expect_status 0
    printf "'Relay'\nBoard Id=0x0000CAFE №12.34 Boot v3.1\n'Main'\nv4.15\n" >"$work/expected.out"
    expect_same "$work/cli.out" "$work/expected.out" "information on stdout"
    [[ ! -s $work/cli.err ]] || fail "stderr is not empty"
    ;;

  program-device)
    "$fixture" image "$work/device.qlxfw" "$work/device.data"
    run_cli -- program "$work/device.qlxfw" "${credentials[@]}"
    expect_status 0
    [[ ! -s $work/cli.err ]] || fail "stderr is not empty"
    [[ $(head -n 1 "$work/cli.out") == "'BOOT'" ]] || fail "no device information on stdout"
    expect_same "$dumps/$device.bin" "$work/device.data" "the device's programmed bytes"
    ((!$(log_lines raw-record | grep -c '"status":1'))) && fail "no record went to the boot monitor"
    ;;

  program-subordinate)
    "$fixture" image "$work/sub.qlxfw" "$work/sub.data" "$sub_home"
    # The third record comes back with "send the two before again".
    run_cli --subordinate "$sub_home" --fault resend=0x05,target=bus-record,nth=3 -- \
      program "$work/sub.qlxfw" "${credentials[@]}"
    expect_status 0
    [[ ! -s $work/cli.err ]] || fail "stderr is not empty"
    expect_same "$dumps/$device-sub$sub_home.bin" "$work/sub.data" "the subordinate's bytes"
    [[ ! -s $dumps/$device.bin ]] || fail "the device itself was programmed"
    [[ -n $(log_lines bus-record | grep -F '"resend_byte":5') ]] ||
      fail "the subordinate never asked for records again"
    # The restore ends with the subordinate taking its address back: the last command on the
    # bus, answered with success.
    last_bus_command=$(log_lines bus-command | tail -n 1)
    [[ $last_bus_command == *'"code":4,'* && $last_bus_command == *'"status":1,'* ]] ||
      fail "the run did not end by giving the subordinate its address back: $last_bus_command"
    ;;

  via-boot-refused)
    "$fixture" image "$work/sub.qlxfw" "$work/sub.data" "$sub_home"
    run_cli --subordinate "$sub_home" -- program "$work/sub.qlxfw" "${credentials[@]}" --via-boot
    expect_status 1
    "$fixture" text via-boot-refused >"$work/expected.err"
    expect_same "$work/cli.err" "$work/expected.err" "the message on stderr"
    [[ -z $(log_lines bus-command) && -z $(log_lines bus-record) ]] ||
      fail "the subordinate was contacted"
    [[ ! -s $dumps/$device-sub$sub_home.bin ]] || fail "the subordinate was programmed"
    ;;

  *)
    echo "cli_e2e.sh: unknown case $case_name" >&2
    exit 2
    ;;
esac
echo "PASS ($case_name)"
