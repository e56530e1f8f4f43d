#!/usr/bin/env bash
# A production bench over real ICMP: devices that all answer 192.168.0.10, each in a network
# namespace of its own behind its own veth pair, the program in the namespace that holds the
# other ends (port1, port2, ...). Everything lives in private namespaces this script makes
# (scripts/netns-exec); no real network is touched.
#
# usage: bench_e2e.sh CASE KORVEL_CLI KORVEL_DEVSIM E2E_CLI_FIXTURE
#   CASE: four-ports | four-ports-in-turn | two-runs-two-ports
# Exits 0 when the case passes, 1 when it fails, 77 when this machine allows no namespace.
set -euo pipefail

if (($# != 4)); then
  echo "usage: ${0##*/} CASE KORVEL_CLI KORVEL_DEVSIM E2E_CLI_FIXTURE" >&2
  exit 2
fi
if [[ ${KORVEL_NETNS:-} != 1 ]]; then
  exec "$(cd "$(dirname "$0")/../../scripts" && pwd)/netns-exec" "$0" "$@"
fi
case_name=$1 cli=$2 devsim=$3 fixture=$4
PATH=$PATH:/usr/sbin:/sbin
device=192.168.0.10

work=$(mktemp -d "${TMPDIR:-/tmp}/korvel-bench-e2e.XXXXXX")
holders=() devsims=()
cleanup() {
  local pid
  for pid in "${devsims[@]}" "${holders[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export XDG_RUNTIME_DIR=$work/run
mkdir -m 700 "$XDG_RUNTIME_DIR"

fail() {
  echo "FAIL ($case_name): $*" >&2
  for file in "$work"/*.err "$work"/*.out; do
    [[ -s $file ]] && { echo "--- ${file##*/}" >&2; cat "$file" >&2; }
  done
  exit 1
}

# Port N: a namespace holding a device at $device on its eth0, joined to portN here. Every port
# here has the same address too, as a bench's ports may.
add_port() {  # N
  local n=$1 holder
  unshare --net sleep 600 &
  holder=$!
  holders+=("$holder")
  for ((i = 0; i < 100; ++i)); do
    [[ $(readlink "/proc/$holder/ns/net") != "$(readlink /proc/self/ns/net)" ]] && break
    sleep 0.02
  done
  ip link add "port$n" type veth peer name eth0 netns "$holder"
  ip addr add 192.168.0.1/24 dev "port$n"
  ip link set "port$n" up
  nsenter -t "$holder" -n sh -c "ip link set lo up && ip addr add $device/24 dev eth0 &&
    ip link set eth0 up && echo 1 >/proc/sys/net/ipv4/icmp_echo_ignore_all" ||
    fail "cannot set up the namespace of port$n"
  nsenter -t "$holder" -n "$devsim" -a "$device" --serial "1.$n" --dump-dir "$work/dumps$n" \
    --log "$work/devsim$n.jsonl" --ready-file "$work/ready$n" --stop-with-parent \
    >/dev/null 2>"$work/devsim$n.err" &
  devsims+=($!)
}

wait_ready() {  # COUNT
  for ((i = 0; i < 500; ++i)); do
    local ready=0
    for ((n = 1; n <= $1; ++n)); do [[ -e $work/ready$n ]] && ready=$((ready + 1)); done
    ((ready == $1)) && return 0
    sleep 0.02
  done
  fail "the simulators did not get ready"
}

stop_devsims() {
  local pid
  for pid in "${devsims[@]}"; do kill -TERM "$pid"; done
  for pid in "${devsims[@]}"; do wait "$pid" || fail "a simulator ended badly"; done
  devsims=()
}

# Replies come back on the port their request left by, whatever the routing table says.
for setting in all default; do echo 0 >"/proc/sys/net/ipv4/conf/$setting/rp_filter"; done
"$fixture" image "$work/device.qlxfw" "$work/device.data"
credentials=(--login admin --password admin)

case $case_name in
  four-ports | four-ports-in-turn)
    # All four at once, or one after another (--jobs 1).
    jobs=()
    [[ $case_name == four-ports-in-turn ]] && jobs=(--jobs 1)
    for n in 1 2 3 4; do add_port "$n"; done
    ip link add portdown type veth peer name portdown-peer
    wait_ready 4

    # A port that is down, or none by that name: a usage error, and no device hears a thing.
    for port in portdown no-such-port; do
      status=0
      "$cli" info --ip "$device" --interface "$port" "${credentials[@]}" \
        >"$work/usage.out" 2>"$work/usage.err" || status=$?
      ((status == 2)) || fail "--interface $port: exit status $status, expected 2"
      grep -q "network interface '$port' \(is down\|does not exist\)" "$work/usage.err" ||
        fail "--interface $port: the message names no interface"
    done
    for n in 1 2 3 4; do [[ ! -s $work/devsim$n.jsonl ]] || fail "port$n heard a request"; done

    printf 'port1 %s\nport2 %s\n# the other two\nport3 %s\nport4 %s\n' \
      "$device" "$device" "$device" "$device" >"$work/targets"
    status=0
    "$cli" program "$work/device.qlxfw" --targets "$work/targets" "${jobs[@]}" \
      "${credentials[@]}" >"$work/cli.out" 2>"$work/cli.err" || status=$?
    stop_devsims
    ((status == 0)) || fail "korvel-cli exited $status"
    for n in 1 2 3 4; do
      cmp -s "$work/dumps$n/$device.bin" "$work/device.data" ||
        fail "the device behind port$n does not hold the image"
      grep -q -E "^port$n +$device +0x000012AB +1\.$n +ok +810 +[0-9.]+$" "$work/cli.err" ||
        fail "no row for port$n"
    done
    ;;

  two-runs-two-ports)
    # Needs the device lock keyed by interface: two runs at one address on two ports both go
    # through; two on the same port, one is refused.
    for n in 1 2; do add_port "$n"; done
    wait_ready 2
    run_two() {  # PORT PORT
      local pids=() i=0
      for port in "$@"; do
        i=$((i + 1))
        "$cli" program "$work/device.qlxfw" --ip "$device" --interface "$port" "${credentials[@]}" \
          >"$work/run$i.out" 2>"$work/run$i.err" &
        pids+=($!)
      done
      statuses=()
      for pid in "${pids[@]}"; do
        local status=0
        wait "$pid" || status=$?
        statuses+=("$status")
      done
    }
    run_two port1 port2
    [[ ${statuses[*]} == "0 0" ]] || fail "runs on two ports: exit statuses ${statuses[*]}"
    run_two port1 port1
    [[ $(printf '%s\n' "${statuses[@]}" | sort | tr '\n' ' ') == "0 1 " ]] ||
      fail "runs on one port: exit statuses ${statuses[*]}, expected one refused"
    stop_devsims
    # The device keeps what every run sent: port1's took the image twice, the refused run nothing.
    cat "$work/device.data" "$work/device.data" >"$work/twice.data"
    cmp -s "$work/dumps1/$device.bin" "$work/twice.data" ||
      fail "the device behind port1 does not hold the image twice"
    cmp -s "$work/dumps2/$device.bin" "$work/device.data" ||
      fail "the device behind port2 does not hold the image"
    ;;

  *)
    echo "bench_e2e.sh: unknown case $case_name" >&2
    exit 2
    ;;
esac
echo "PASS ($case_name)"
