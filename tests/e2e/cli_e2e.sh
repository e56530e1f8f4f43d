#!/usr/bin/env bash
# korvel-cli against korvel-devsim over real ICMP, in a private network namespace of its own
# (scripts/with-devsim). One case per run, so that CTest reports each on its own.
#
# usage: cli_e2e.sh CASE KORVEL_CLI KORVEL_DEVSIM E2E_CLI_FIXTURE
#   CASE: info | program-device | program-subordinate | via-boot-refused |
#         precheck-truncated | precheck-bad-marker | precheck-type-13 | precheck-too-long-late |
#         precheck-sub-bad-late | precheck-sub-turns-late | precheck-sub-leaves-late | route-mtu |
#         rewritten-file | two-runs | two-users | two-namespaces | long-name |
#         device-controls | many-devices | interrupt | json-info | json-program-device |
#         json-program-subordinate | trace-rejected | trace-timeout | log-file | demands-refused |
#         moved-image | hang-up | full-log | hostile-arguments
#
# The JSON cases need KORVEL_JSON_CHECK: the program that checks JSON lines against their schema.
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
  run_next_to_devsim "${devsim_args[@]}" -- "$cli" "$@"
}

# The same for any command: DEVSIM OPTIONS... -- COMMAND [ARGS...].
run_next_to_devsim() {
  local devsim_args=()
  while [[ $1 != -- ]]; do
    devsim_args+=("$1")
    shift
  done
  shift
  status=0
  "$with_devsim" --devsim "$devsim" --dump-dir "$dumps" --log "$log" "${devsim_args[@]}" -- \
    bash -c 'exec "$@" 2>"$0"' "$work/cli.err" "$@" >"$work/cli.out" 2>"$work/run.err" ||
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

# JSON lines checked against their schema: events|log FILE.
expect_schema() {
  [[ -n ${KORVEL_JSON_CHECK:-} ]] || fail "KORVEL_JSON_CHECK names no schema checker"
  "$KORVEL_JSON_CHECK" "$1" "$2" 2>"$work/schema.err" || fail "$(cat "$work/schema.err")"
}

# The events of --json on stdout, in order: "phase info result".
expect_events() {
  local seen
  seen=$(sed -E 's/^\{"event":"([a-z]+)".*/\1/' "$work/cli.out" | tr '\n' ' ')
  [[ $seen == "$1 " ]] || fail "events: $seen; expected: $1"
}

# An event line holding FIELDS as written, with the device's address.
expect_line() {  # EVENT FIELDS
  grep -q -F "{\"event\":\"$1\",\"schema\":1,\"ip\":\"$device\",$2" "$work/cli.out" ||
    fail "no $1 line with $2"
}
# Lock files of this case's own: other cases run at the same time, in namespaces of their own
# with the same device address.
export XDG_RUNTIME_DIR=$work/run
mkdir -m 700 "$XDG_RUNTIME_DIR"

expect_text_on_stderr() {  # NAME
  "$fixture" text "$1" >"$work/expected.err"
  expect_same "$work/cli.err" "$work/expected.err" "the message on stderr"
}

# Nothing but the information query reached the device: no hand-over, no preparation, no record.
expect_only_information_query() {
  local query='"code":3,.*"kind":"device-command"' others
  grep -q -E "$query" "$log" || fail "no information query"
  others=$(grep -v -E "$query" "$log" || true)
  [[ -z $others ]] || fail "more than the information query reached the device: $others"
  [[ ! -s $dumps/$device.bin && ! -s $dumps/$device-sub$sub_home.bin ]] ||
    fail "something was programmed"
}

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
    grep -q '^Programmed 810 bytes in 5 records into the device itself in [0-9.]* s' "$work/cli.err" ||
      fail "no closing line on stderr"
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
    grep -q "^Programmed 810 bytes in 5 records into the subordinate at bus address $sub_home in " \
      "$work/cli.err" || fail "no closing line on stderr"
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

  precheck-*)
    kind=${case_name#precheck-}
    "$fixture" broken "$kind" "$work/broken.qlxfw"
    run_cli --subordinate "$sub_home" -- program "$work/broken.qlxfw" "${credentials[@]}"
    expect_status 1
    case $kind in
      type-13) expect_text_on_stderr unsupported-type ;;
      too-long-late) expect_text_on_stderr too-long ;;
      *) expect_text_on_stderr format-error ;;
    esac
    expect_only_information_query
    ;;

  route-mtu)
    # A route whose MTU is smaller than a record's request: the system refuses the send for its
    # size, and the run stops at once instead of waiting five timeouts.
    "$fixture" big-records "$work/big.qlxfw" "$work/big.data" 2000
    started=$SECONDS
    run_next_to_devsim -- bash -c 'ip link set lo mtu 1500 && exec "$@"' mtu "$cli" \
      program "$work/big.qlxfw" "${credentials[@]}"
    expect_status 1
    expect_text_on_stderr exceeds-packet
    ((SECONDS - started < 5)) || fail "the run took $((SECONDS - started)) s"
    [[ -z $(log_lines raw-record) ]] || fail "a record reached the device"
    ;;

  rewritten-file)
    # The image is rewritten in place while the device waits for its boot monitor: after the
    # check, before the first record.
    "$fixture" image "$work/device.qlxfw" "$work/device.data"
    "$fixture" image "$work/other.qlxfw" "$work/other.data" 7
    run_next_to_devsim -- bash -c '
      "$1" program "$2" --ip "$3" --login admin --password admin & pid=$!
      for ((i = 0; i < 200; ++i)); do
        grep -q "\"code\":7," "$4" 2>/dev/null && break
        sleep 0.05
      done
      dd if="$5" of="$2" bs=1 seek=20 skip=20 count=200 conv=notrunc status=none
      wait "$pid"' rewrite "$cli" "$work/device.qlxfw" "$device" "$log" "$work/other.qlxfw"
    expect_status 1
    grep -q -F -x "$("$fixture" text file-changed)" "$work/cli.err" ||
      fail "no message that the file changed"
    [[ -z $(log_lines raw-record) ]] || fail "a record of the changed file reached the device: $(cat "$log")"
    ;;

  two-runs | two-users)
    # A second copy at the same device is refused at once, whoever runs it; the first goes on
    # undisturbed. The users' own folders, one of them squatted by a third user, play no part.
    "$fixture" image "$work/device.qlxfw" "$work/device.data"
    first=() second=()
    if [[ $case_name == two-users ]]; then
      chmod 755 "$work" && chmod 644 "$work/device.qlxfw"
      mkdir -m 777 "$work/squat" "$work/squat/korvel" && chown 1002:1002 "$work/squat/korvel"
      export XDG_RUNTIME_DIR=$work/squat
      first=(setpriv --reuid 1000 --regid 1000 --clear-groups)
      second=(setpriv --reuid 1001 --regid 1001 --clear-groups)
    fi
    touch "$work/started"
    run_next_to_devsim -- bash -c '
      first=(${1}) second=(${2}); shift 2
      "${first[@]}" "$1" program "$2" --ip "$3" --login admin --password admin >/dev/null 2>"$4" &
      pid=$!
      for ((i = 0; i < 200; ++i)); do
        grep -q "@korvel/device/$3\$" /proc/net/unix && break
        sleep 0.02
      done
      status=0
      "${second[@]}" "$1" program "$2" --ip "$3" --login admin --password admin || status=$?
      wait "$pid" || exit 3
      exit "$status"' two "${first[*]}" "${second[*]}" "$cli" "$work/device.qlxfw" "$device" \
      "$work/first.err"
    expect_status 1
    expect_text_on_stderr another-copy
    grep -q '^Programmed ' "$work/first.err" || fail "the first run did not finish"
    expect_same "$dumps/$device.bin" "$work/device.data" "the device's programmed bytes"
    left=$(find "$work/squat" "${TMPDIR:-/tmp}" -maxdepth 3 -name "device-$device.lock" \
      -newer "$work/started" 2>/dev/null || true)
    [[ -z $left ]] || fail "lock files were left: $left"
    ;;

  two-namespaces)
    # One address in two network namespaces is two devices: both runs go through at once.
    "$fixture" image "$work/sub.qlxfw" "$work/sub.data" "$sub_home"
    pids=()
    for n in 1 2; do
      mkdir "$work/ns$n"
      "$with_devsim" --devsim "$devsim" --dump-dir "$work/ns$n" --log "$work/ns$n/devsim.jsonl" \
        --subordinate "$sub_home" -- "$cli" program "$work/sub.qlxfw" "${credentials[@]}" \
        >/dev/null 2>"$work/ns$n.err" &
      pids+=($!)
    done
    for n in 1 2; do
      status=0
      wait "${pids[n - 1]}" || status=$?
      ((status != 77)) || exit 77
      ((status == 0)) || { cat "$work/ns$n.err" >&2; fail "the run in namespace $n exited $status"; }
      expect_same "$work/ns$n/$device-sub$sub_home.bin" "$work/sub.data" "namespace $n's subordinate"
    done
    ;;

  long-name)
    # A name of 256 MiB: kept by no one, shown cut. The program's own memory (much of it the
    # sanitizers') is measured on a short name first; the long one may add little to it.
    "$fixture" long-name "$work/short.qlxfw" 16
    "$fixture" long-name "$work/long.qlxfw" $((256 << 20))
    "$fixture" peak-kib "$cli" summary "$work/short.qlxfw" >"$work/cli.out"
    limit=$(($(tail -n 1 "$work/cli.out") + 32768))
    run_next_to_devsim -- "$fixture" peak-kib "$cli" summary "$work/long.qlxfw"
    expect_status 0
    expected="'$(printf 'A%.0s' {1..255})…' v0.0"
    [[ $(tail -n 1 "$work/cli.out") -lt $limit ]] ||
      fail "summary took $(tail -n 1 "$work/cli.out") KiB (limit $limit)"
    [[ $(head -n 1 "$work/cli.out") == "$expected" ]] || fail "summary shows $(head -c 300 "$work/cli.out")"
    run_next_to_devsim -- "$fixture" peak-kib "$cli" program "$work/long.qlxfw" "${credentials[@]}"
    expect_status 0
    [[ $(tail -n 1 "$work/cli.out") -lt $limit ]] ||
      fail "the run took $(tail -n 1 "$work/cli.out") KiB (limit $limit)"
    [[ -s $dumps/$device.bin ]] || fail "the record after the name was not programmed"
    ;;

  device-controls)
    # Texts from the device and an image name with terminal controls in them.
    run_cli --text1 $'Re\e[2Jlay\a' --text2 $'\x7fMain' -- info "${credentials[@]}"
    expect_status 0
    [[ $(head -n 1 "$work/cli.out") == "'Re\x1B[2Jlay\x07'" ]] ||
      fail "first device text: $(head -n 1 "$work/cli.out")"
    [[ $(sed -n 3p "$work/cli.out") == "'\x7FMain'" ]] ||
      fail "second device text: $(sed -n 3p "$work/cli.out")"
    printf '\xff\x11N\x1b]0;x\x9b\x00' >"$work/named.qlxfw"
    printf '\xaa\x0c\x01\x00\x00\x00\x00' >>"$work/named.qlxfw"
    "$cli" summary "$work/named.qlxfw" >"$work/cli.out"
    [[ $(cat "$work/cli.out") == "'N\x1B]0;x\x9B' v0.0" ]] || fail "summary: $(cat "$work/cli.out")"
    ;;

  json-info)
    # Texts with a control and a quote, a first attempt that goes unanswered.
    run_cli --board-id 0xCAFE --serial 12.34 --text1 $'Re\e[2J"lay' --text2 Привод \
      --boot-version 3.1 --program-version 4.15 --fault drop-reply,first=5 -- \
      info "${credentials[@]}" --json
    expect_status 0
    expect_schema events "$work/cli.out"
    expect_events 'phase retry info result'
    expect_line info '"board_id":51966,"serial":"12.34","boot_version":"3.1","program_version":"4.15","text1":"Re\u001b[2J\"lay","text2":"Привод"'
    expect_line retry '"request":"device-info","attempt":1,"retried":true'
    expect_line result '"outcome":"ok"'
    [[ ! -s $work/cli.err ]] || fail "stderr is not empty"
    ;;

  json-program-device)
    "$fixture" image "$work/device.qlxfw" "$work/device.data"
    run_cli -- program "$work/device.qlxfw" "${credentials[@]}" --json
    expect_status 0
    expect_schema events "$work/cli.out"
    expect_events 'phase info phase phase phase progress progress progress progress progress result'
    expect_line phase '"phase":"entering-boot-monitor"'
    expect_line progress '"records":5,"bytes_done":810,"bytes_total":810'
    expect_line result '"outcome":"ok","text":"","records":5,"bytes":810,'
    expect_same "$dumps/$device.bin" "$work/device.data" "the device's programmed bytes"
    ;;

  json-program-subordinate)
    "$fixture" image "$work/sub.qlxfw" "$work/sub.data" "$sub_home"
    run_cli --subordinate "$sub_home" --fault resend=0x05,target=bus-record,nth=3 -- \
      program "$work/sub.qlxfw" "${credentials[@]}" --json
    expect_status 0
    expect_schema events "$work/cli.out"
    expect_line phase '"phase":"preparing-subordinate"'
    expect_line resend '"count":2'
    expect_line phase '"phase":"restoring"'
    expect_line result '"outcome":"ok","text":"","records":5,"bytes":810,'
    expect_same "$dumps/$device-sub$sub_home.bin" "$work/sub.data" "the subordinate's bytes"
    ;;

  trace-rejected | trace-timeout)
    # The first reply to the information query fails its checksum, or never comes; the second
    # attempt is answered.
    fault=bad-checksum,first=1
    [[ $case_name == trace-timeout ]] && fault=drop-reply,first=1
    run_cli --fault "$fault" -- info "${credentials[@]}" --trace
    expect_status 0
    [[ $(head -n 1 "$work/cli.out") == "'BOOT'" ]] || fail "no device information on stdout"
    sent="$device seq 0 attempt [12]/5 sent command 0x03 \([0-9]+ bytes\): "
    first=" *[0-9]+\.[0-9]{3} ms ${sent}rejected \(checksum\), [0-9]+ bytes"
    [[ $case_name == trace-timeout ]] && first=" *[0-9]+\.[0-9]{3} ms ${sent}timeout"
    (($(wc -l <"$work/cli.err") == 2)) || fail "$(wc -l <"$work/cli.err") trace lines"
    [[ $(sed -n 1p "$work/cli.err") =~ ^$first$ ]] || fail "first line: $(sed -n 1p "$work/cli.err")"
    [[ $(sed -n 2p "$work/cli.err") =~ ^\ *[0-9]+\.[0-9]{3}\ ms\ ${sent}status\ 1,\ length\ 77$ ]] ||
      fail "second line: $(sed -n 2p "$work/cli.err")"
    ;;

  demands-refused)
    # Another board, then the right board with an image older than the device's program 2.5:
    # each time the information query is all the device hears.
    "$fixture" image "$work/device.qlxfw" "$work/device.data"
    runs=$work/runs.jsonl
    for demand in "wrong-board --expect-board 0xCAFE" "downgrade --expect-board 4779 --no-downgrade"; do
      read -r outcome options <<<"$demand"
      rm -f "$log"
      # shellcheck disable=SC2086 # the options are words of their own
      run_cli -- program "$work/device.qlxfw" "${credentials[@]}" $options --json --log-file "$runs"
      expect_status 1
      expect_schema events "$work/cli.out"
      expect_line result "\"outcome\":\"$outcome\""
      expect_only_information_query
    done
    expect_schema log "$runs"
    ;;

  log-file)
    # A run that goes through and one whose records go unanswered, in one log; a password that
    # must appear nowhere in it.
    "$fixture" image "$work/device.qlxfw" "$work/device.data"
    runs=$work/runs.jsonl
    run_cli --password 'S3cret-pw' -- program "$work/device.qlxfw" --ip "$device" --login admin \
      --password-stdin --log-file "$runs" <<<'S3cret-pw'
    expect_status 0
    run_cli --password 'S3cret-pw' --fault drop-reply,target=raw -- \
      program "$work/device.qlxfw" --ip "$device" --login admin --password-stdin \
      --log-file "$runs" <<<'S3cret-pw'
    expect_status 1
    expect_schema log "$runs"
    (($(wc -l <"$runs") == 2)) || fail "the log holds $(wc -l <"$runs") lines"
    ! grep -q 'S3cret-pw' "$runs" || fail "the password is in the log"
    sha=$(sha256sum "$work/device.qlxfw" | cut -d' ' -f1)
    size=$(stat -c %s "$work/device.qlxfw")
    image_fields="\"image\":\"$work/device.qlxfw\",\"image_size\":$size,\"image_sha256\":\"$sha\",\"image_name\":\"E2E\",\"image_version\":\"1.0\",\"target\":\"device\",\"bus_address\":null,\"ip\":\"$device\",\"board_id\":4779,\"serial\":\"3.7\""
    first=$(sed -n 1p "$runs") second=$(sed -n 2p "$runs")
    [[ $first == *"\"command\":\"program\",$image_fields"* ]] || fail "first line: $first"
    [[ $first == *'"outcome":"ok","text":"","records":5,"bytes":810,'* ]] || fail "first line: $first"
    [[ $second == *"$image_fields"* ]] || fail "second line: $second"
    [[ $second == *'"outcome":"link-lost",'*'"records":0,"bytes":0,'* ]] || fail "second line: $second"
    ;;

  many-devices)
    # Three devices at once; the third goes silent once its boot monitor should take records.
    "$fixture" image "$work/device.qlxfw" "$work/device.data"
    cat >"$work/bench.json" <<'JSON'
{"devices": [{"address": "127.0.0.2", "serial": "1.2"},
             {"address": "127.0.0.3", "serial": "1.3"},
             {"address": "127.0.0.4", "serial": "1.4", "faults": ["drop-request,target=raw"]}]}
JSON
    printf '# the bench\n127.0.0.3\n\n127.0.0.4  # the silent one\n' >"$work/targets"
    run_cli --config "$work/bench.json" -- program "$work/device.qlxfw" --ip 127.0.0.2 \
      --targets "$work/targets" --login admin --password admin
    expect_status 1
    for address in 127.0.0.2 127.0.0.3; do
      expect_same "$dumps/$address.bin" "$work/device.data" "the bytes of $address"
      grep -q "^$address: Programmed 810 bytes in 5 records into the device itself in " \
        "$work/cli.err" || fail "no closing line for $address"
    done
    [[ ! -s $dumps/127.0.0.4.bin ]] || fail "the silent device took records"
    grep -q '^127.0.0.4: failed (link-lost) after 0 bytes in ' "$work/cli.err" ||
      fail "no closing line for the silent device"
    [[ ! -s $work/cli.out ]] || fail "stdout is not empty"
    tail -n 4 "$work/cli.err" | sed -E 's/ +[0-9]+\.[0-9]$//' >"$work/table"
    cat >"$work/expected.table" <<'TABLE'
ADDRESS    BOARD ID    SERIAL  OUTCOME    BYTES  SECONDS
127.0.0.2  0x000012AB  1.2     ok           810
127.0.0.3  0x000012AB  1.3     ok           810
127.0.0.4  0x000012AB  1.4     link-lost      0
TABLE
    sed -i -E 's/ +SECONDS$//' "$work/table" "$work/expected.table"
    expect_same "$work/table" "$work/expected.table" "the table"
    ;;

  interrupt)
    # Ctrl-C while two subordinates wait out the seconds after their restore began: both runs
    # stop at once, without the rest of the restore, and the table is still written.
    "$fixture" image "$work/sub.qlxfw" "$work/sub.data" "$sub_home"
    run_next_to_devsim -a 127.0.0.2 -a 127.0.0.3 --subordinate "$sub_home" -- bash -c '
      "$1" program "$2" --ip 127.0.0.2 --ip 127.0.0.3 --login admin --password admin & pid=$!
      for ((i = 0; i < 400; ++i)); do
        (($(grep -c "\"code\":11,.*\"kind\":\"bus-command\"" "$3" 2>/dev/null) >= 2)) && break
        sleep 0.05
      done
      kill -INT "$pid"
      interrupted=$(date +%s%N)
      status=0
      wait "$pid" || status=$?
      echo $((($(date +%s%N) - interrupted) / 1000000)) >"$4"
      exit "$status"' interrupt "$cli" "$work/sub.qlxfw" "$log" "$work/stop-ms"
    expect_status 130
    (($(cat "$work/stop-ms") < 2000)) || fail "the runs took $(cat "$work/stop-ms") ms to stop"
    for address in 127.0.0.2 127.0.0.3; do
      grep -q "^$address: interrupted after 810 bytes in " "$work/cli.err" ||
        fail "no closing line for $address"
      grep -q -x "$address: The subordinate was left at the programming address 254 without its own address given back" \
        "$work/cli.err" || fail "no line about the subordinate of $address left at 254"
      grep -q -E "^$address +0x000012AB +3\.7 +interrupted +810 +[0-9.]+$" "$work/cli.err" ||
        fail "no row for $address"
    done
    # The restore stopped where it was: no subordinate was given its address back.
    [[ -z $(log_lines bus-command | grep -F '"code":4,') ]] || fail "an address was given back"
    ;;

  moved-image)
    # Another image is moved over the path while the first of two devices takes its records:
    # the second device still gets the image the command checked, and the log names what each
    # device read.
    "$fixture" image "$work/device.qlxfw" "$work/device.data"
    "$fixture" big-records "$work/other.qlxfw" "$work/other.data" 2000
    sha=$(sha256sum "$work/device.qlxfw" | cut -d' ' -f1)
    runs=$work/runs.jsonl
    run_next_to_devsim -a 127.0.0.2 -a 127.0.0.3 -- bash -c '
      "$1" program "$2" --ip 127.0.0.2 --ip 127.0.0.3 --jobs 1 --login admin --password admin \
        --log-file "$5" & pid=$!
      for ((i = 0; i < 400; ++i)); do
        grep -q "\"kind\":\"raw-record\"" "$4" 2>/dev/null && break
        sleep 0.02
      done
      mv "$3" "$2"
      wait "$pid"' moved "$cli" "$work/device.qlxfw" "$work/other.qlxfw" "$log" "$runs"
    expect_same "$dumps/127.0.0.2.bin" "$work/device.data" "the bytes of 127.0.0.2"
    if [[ -s $dumps/127.0.0.3.bin ]]; then
      expect_status 0
      expect_same "$dumps/127.0.0.3.bin" "$work/device.data" "the bytes of 127.0.0.3"
    else
      expect_status 1
      grep -q -F "$("$fixture" text file-changed)" "$work/cli.err" || fail "no file-changed line"
    fi
    (($(grep -c -F "\"image_sha256\":\"$sha\"" "$runs") == 2)) ||
      fail "the log does not name the checked image for both devices: $(cat "$runs")"
    ;;

  hang-up)
    # The reader of --json goes away after one line, then the session closes while the
    # subordinate waits out its restore: the run stops there, says the subordinate was left at
    # 254, and its log line is written.
    "$fixture" image "$work/sub.qlxfw" "$work/sub.data" "$sub_home"
    runs=$work/runs.jsonl
    run_next_to_devsim --subordinate "$sub_home" -- bash -c '
      "$1" program "$2" --ip 127.0.0.2 --login admin --password admin --json --log-file "$4" \
        > >(head -n 1 >/dev/null) & pid=$!
      for ((i = 0; i < 400; ++i)); do
        grep -q "\"code\":11,.*\"kind\":\"bus-command\"" "$3" 2>/dev/null && break
        sleep 0.05
      done
      kill -HUP "$pid"
      wait "$pid"' hangup "$cli" "$work/sub.qlxfw" "$log" "$runs"
    expect_status 129
    grep -q -x "The subordinate was left at the programming address 254 without its own address given back" \
      "$work/cli.err" || fail "no line about the subordinate left at 254"
    (($(wc -l <"$runs") == 1)) || fail "the log holds $(wc -l <"$runs") lines"
    grep -q '"outcome":"interrupted",.*"bytes":810,' "$runs" || fail "log line: $(cat "$runs")"
    ;;

  full-log)
    # The log lies on a file system with no room left: the command stops before any device is
    # touched, and the log keeps its whole lines only.
    "$fixture" image "$work/device.qlxfw" "$work/device.data"
    mkdir "$work/small"
    run_next_to_devsim -- unshare --mount bash -c '
      mount -t tmpfs -o size=8k tmpfs "$3" || exit 77
      printf "{\"earlier\":\"%04000d\"}\n" 0 >"$3/runs.jsonl"
      head -c 4096 /dev/zero >"$3/filler" 2>/dev/null
      cp "$3/runs.jsonl" "$4"
      status=0
      "$1" program "$2" --ip 127.0.0.2 --login admin --password admin \
        --log-file "$3/runs.jsonl" || status=$?
      cmp -s "$3/runs.jsonl" "$4" || { cat "$3/runs.jsonl" >&2; exit 3; }
      exit "$status"' full "$cli" "$work/device.qlxfw" "$work/small" "$work/before.jsonl"
    expect_status 1
    grep -q "^Cannot write the run log: $work/small/runs.jsonl" "$work/cli.err" ||
      fail "no line about the log"
    [[ ! -s $dumps/$device.bin ]] || fail "the device was programmed"
    ;;

  hostile-arguments)
    # Controls in arguments come back escaped; a FIFO as the target file or the log is refused
    # at once rather than waited on.
    mkfifo "$work/fifo"
    expect_usage() {  # EXPECTED-LINE ARGS...
      local expected=$1
      shift
      status=0
      timeout 10 "$cli" program "$@" >"$work/cli.out" 2>"$work/cli.err" || status=$?
      expect_status 2
      grep -q -F -- "$expected" "$work/cli.err" || fail "no '$expected' on stderr"
      ! grep -q $'[\x07\x1b]' "$work/cli.err" || fail "a raw control reached stderr"
    }
    printf '10.0.0.1\n' >"$work/image"
    expect_usage "$work/fifo: not a regular file" "$work/image" --targets "$work/fifo"
    expect_usage "$work/fifo: not a regular file" "$work/image" --ip 10.0.0.1 --log-file "$work/fifo"
    expect_usage "'\x1B]0;x\x07' is not four dotted" "$work/image" --ip $'\e]0;x\a'
    cp "$work/image" "$work/targets"$'\e[2J'
    printf '10.0.0.2\n%0600d\n' 0 >>"$work/targets"$'\e[2J'
    expect_usage "targets\x1B[2J:3: the line is longer than 512 bytes" "$work/image" \
      --targets "$work/targets"$'\e[2J'
    for ((i = 0; i <= 4096; ++i)); do echo "10.0.$((i / 256)).$((i % 256))"; done >"$work/many"
    expect_usage "many:4097: more than 4096 devices" "$work/image" --targets "$work/many"
    ;;

  *)
    echo "cli_e2e.sh: unknown case $case_name" >&2
    exit 2
    ;;
esac
echo "PASS ($case_name)"
