#!/usr/bin/env bash
# An installed tree as an ordinary user (uid 1000) sees it, in a namespace with ping sockets
# closed: only the ICMP helper holds a capability; korvel-cli reads a device through it; and a Qt
# plugin of the user's own, loaded by korvel from QT_PLUGIN_PATH, runs without any capability.
#
# usage: unprivileged_user_check.sh TREE REPOSITORY WORKDIR    (as root; TREE holds usr/...)
# Prints FAIL lines and exits 1 on a failure.
set -euo pipefail

tree=$(realpath "$1") repo=$2 work=$(realpath -m "$3")
readonly user=1000
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

granted=$(getcap -r "$tree" 2>/dev/null)
[[ $granted == "$tree/usr/libexec/korvel/korvel-icmp-socket cap_net_raw=ep" ]] ||
  fail "not only the helper holds a capability: $granted"

home=$work/home
rm -rf "$home" "$work/probe-build"
mkdir -p "$home/plugins/generic"
chown -R "$user:$user" "$home"

# Runs a command as uid 1000 next to the tree's korvel-devsim, ping sockets closed.
as_user_next_to_device() {
  "$repo/scripts/with-devsim" --devsim "$tree/usr/bin/korvel-devsim" --board-id 0xCAFE \
    --serial 12.34 -- bash -c '
      echo "1 0" >/proc/sys/net/ipv4/ping_group_range
      home=$1; shift
      exec timeout 60 setpriv --reuid='"$user"' --regid='"$user"' --clear-groups --inh-caps=-all \
        env -i HOME="$home" PATH=/usr/bin:/bin QT_QPA_PLATFORM=offscreen \
        QT_PLUGIN_PATH="$home/plugins" QT_QPA_GENERIC_PLUGINS=capabilityprobe "$@"' \
    probe "$home" "$@"
}

out=$(as_user_next_to_device "$tree/usr/bin/korvel-cli" info --ip 127.0.0.2 --login admin \
  --password admin 2>&1) || fail "uid $user could not read the device with korvel-cli: $out"
grep -q 'Board Id=0x0000CAFE №12.34' <<<"$out" || fail "korvel-cli info as uid $user: $out"

cmake -S "$repo/tests/package/capability_probe" -B "$work/probe-build" -G Ninja >/dev/null
cmake --build "$work/probe-build" >/dev/null
install -o "$user" -m 644 "$work/probe-build/libcapability_probe.so" "$home/plugins/generic/"
as_user_next_to_device "$tree/usr/bin/korvel" >/dev/null 2>&1 || true
report=$(cat "$home/probe-report" 2>/dev/null || echo "no report: the plugin did not run")
[[ $report == "CapEff=0000000000000000 raw_icmp=no packet=no" ]] ||
  fail "a plugin loaded by korvel as uid $user: $report"
echo "uid $user: korvel-cli read the device; a plugin in korvel found $report"

((failures == 0))
