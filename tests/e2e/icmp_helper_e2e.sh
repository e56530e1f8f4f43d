#!/usr/bin/env bash
# korvel-cli as an ordinary user (uid 1000) against korvel-devsim, in a namespace with ping sockets
# closed: installed as the package installs it (bin/korvel-cli, libexec/korvel/korvel-icmp-socket),
# it first names the helper in its setcap remedy, then, with the helper given cap_net_raw, reads
# the device through the helper's socket while carrying no capability itself.
#
# usage: icmp_helper_e2e.sh KORVEL_CLI KORVEL_DEVSIM KORVEL_ICMP_SOCKET WORK_DIR
# WORK_DIR: a folder whose file system holds capabilities (tmpfs may not). Exits 77 when this
# machine allows no namespace or this is not run as root.
set -euo pipefail

(($# == 4)) || { echo "usage: ${0##*/} KORVEL_CLI KORVEL_DEVSIM KORVEL_ICMP_SOCKET WORK_DIR" >&2; exit 2; }
cli=$1 devsim=$2 helper=$3
with_devsim=$(cd "$(dirname "$0")/../../scripts" && pwd)/with-devsim
readonly user=1000

if ((EUID != 0)); then
  echo "needs root: it sets a file capability and runs as uid $user" >&2
  exit 77
fi
mkdir -p "$4"
work=$(mktemp -d "$4/icmp-helper-e2e.XXXXXX")
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
mkdir -p "$work/bin" "$work/libexec/korvel" "$work/home"
cp "$cli" "$work/bin/korvel-cli"
cp "$helper" "$work/libexec/korvel/korvel-icmp-socket"
chown "$user:$user" "$work/home"
installed_helper=$work/libexec/korvel/korvel-icmp-socket

fail() {
  echo "FAIL: $*" >&2
  for file in cli.out cli.err run.err; do
    [[ -s $work/$file ]] && { echo "--- $file" >&2; cat "$work/$file" >&2; }
  done
  exit 1
}

# korvel-cli info as uid 1000 with ping sockets closed; sets `status`.
info_as_user() {
  status=0
  "$with_devsim" --devsim "$devsim" --board-id 0xCAFE --serial 12.34 -- bash -c '
      echo "1 0" >/proc/sys/net/ipv4/ping_group_range
      exec setpriv --reuid='"$user"' --regid='"$user"' --clear-groups --inh-caps=-all \
        env -i HOME="$0/home" PATH=/usr/bin:/bin "$0/bin/korvel-cli" info --ip 127.0.0.2 \
        --login admin --password-stdin <<<admin 2>"$0/cli.err"' "$work" \
    >"$work/cli.out" 2>"$work/run.err" || status=$?
  if ((status == 77)); then cat "$work/run.err" >&2; exit 77; fi
}

info_as_user
((status != 0)) || fail "uid $user read the device without ICMP access"
grep -qF "setcap cap_net_raw+ep $installed_helper" "$work/cli.out" ||
  fail "the remedy does not name the helper $installed_helper"

setcap cap_net_raw+ep "$installed_helper" ||
  { echo "cannot set a file capability under $4" >&2; exit 77; }
[[ -z $(getcap "$work/bin/korvel-cli") ]] || fail "korvel-cli carries a capability"
info_as_user
((status == 0)) || fail "korvel-cli exited $status through the helper"
grep -q 'Board Id=0x0000CAFE №12.34' "$work/cli.out" || fail "no device information"
echo "uid $user read the device through $installed_helper"
