#!/usr/bin/env bash
# Makes korvel_<version>_amd64.deb with scripts/package and checks it: its contents and control
# data, the desktop entry and the metainfo with their validators, each manual page rendered,
# lintian without errors (its warnings are printed), the bash completion against the packed
# korvel-cli, and the postinst: it gives cap_net_raw to the ICMP helper alone on an unpacked tree,
# and where no capability can be set it still succeeds and says what to do. Then, as an ordinary
# user (uid 1000) in a namespace with ping sockets closed, korvel-cli of that tree reads a device
# through the helper, and a Qt plugin of that user's, loaded by korvel, finds no capability.
#
# usage: package_test.sh REPOSITORY WORKDIR
set -euo pipefail

repo=$1
work=$2
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

rm -rf "$work/tree" "$work/fake-bin"
mkdir -p "$work"
deb=$("$repo/scripts/package" "$work" | tail -n 1)
echo "package: $deb ($(stat -c %s "$deb") bytes)"
version=$(sed -n 's/^project(Korvel VERSION \([0-9.]*\).*/\1/p' "$repo/CMakeLists.txt")
[[ $(basename "$deb") == "korvel_${version}_amd64.deb" ]] || fail "package named $(basename "$deb")"

# --- what it holds ---
contents=$(dpkg-deb -c "$deb" | awk '{print $1, $2, $NF}')
expect_file() {
  local path=$1 mode=$2
  grep -qx -- "$mode root/root \\./${path#/}" <<<"$contents" || fail "no $path with $mode in the package"
}
for program in korvel korvel-cli korvel-devsim; do
  expect_file /usr/bin/$program -rwxr-xr-x
  expect_file /usr/share/man/man1/$program.1.gz -rw-r--r--
done
helper=/usr/libexec/korvel/korvel-icmp-socket
expect_file $helper -rwxr-xr-x
for size in 16 22 24 32 48 64 128 256; do
  expect_file /usr/share/icons/hicolor/${size}x$size/apps/korvel.png -rw-r--r--
done
for file in /usr/share/icons/hicolor/scalable/apps/korvel.svg \
  /usr/share/applications/org.korvel.Korvel.desktop \
  /usr/share/metainfo/org.korvel.Korvel.metainfo.xml \
  /usr/share/bash-completion/completions/korvel-cli \
  /usr/share/korvel/schemas/korvel-cli-events.schema.json \
  /usr/share/korvel/schemas/korvel-cli-log.schema.json \
  /usr/share/doc/korvel/copyright /usr/share/doc/korvel/changelog.gz; do
  expect_file "$file" -rw-r--r--
done
outside=$(awk '{print $3}' <<<"$contents" |
  grep -vx '\./\(usr/\(\(bin\|share\|libexec\|libexec/korvel\)\(/.*\)\?\)\?\)\?' || true)
[[ -z $outside ]] || fail "files outside /usr/bin, /usr/share and /usr/libexec/korvel: $outside"

field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == korvel && $(field Version) == "$version" && $(field Architecture) == amd64 ]] ||
  fail "control: $(field Package) $(field Version) $(field Architecture)"
depends=$(field Depends)
for library in libc6 libstdc++6 libqt6widgets6 libcap2-bin; do
  grep -q "\\b$library\\b" <<<"$depends" || fail "Depends lacks $library: $depends"
done
grep -q 'lib\(asan\|ubsan\)' <<<"$depends" && fail "Depends names a sanitizer: $depends"

tree=$work/tree
dpkg-deb -R "$deb" "$tree"
[[ $(stat -c %a "$tree/DEBIAN/postinst") == 755 ]] || fail "postinst is not executable"
for binary in "$tree"/usr/bin/{korvel,korvel-cli,korvel-devsim} "$tree$helper"; do
  program=${binary##*/}
  file -b "$binary" | grep -q ', stripped' || fail "$program is not stripped"
  if readelf -d "$binary" | grep -q 'NEEDED.*\(asan\|ubsan\)'; then fail "$program has sanitizers"; fi
  readelf -d "$binary" | grep -q 'BIND_NOW' || fail "$program is not linked with -z now"
done
for size in 16 22 24 32 48 64 128 256; do
  file -b "$tree/usr/share/icons/hicolor/${size}x$size/apps/korvel.png" |
    grep -q "PNG image data, $size x $size" || fail "the ${size}x$size icon is not $size px"
done

# --- as the desktop, software centres and man see it ---
if ! out=$(desktop-file-validate "$tree/usr/share/applications/org.korvel.Korvel.desktop" 2>&1) ||
  [[ -n $out ]]; then
  fail "desktop-file-validate: $out"
fi
grep -qx 'Name\[ru\]=Korvel' "$tree/usr/share/applications/org.korvel.Korvel.desktop" &&
  grep -q '^Comment\[ru\]=' "$tree/usr/share/applications/org.korvel.Korvel.desktop" ||
  fail "the desktop entry lacks its names"
appstreamcli validate --no-net "$tree/usr/share/metainfo/org.korvel.Korvel.metainfo.xml" ||
  fail "appstreamcli validate"
grep -q '<screenshot' "$tree/usr/share/metainfo/org.korvel.Korvel.metainfo.xml" ||
  fail "metainfo without a screenshot"
for program in korvel korvel-cli korvel-devsim; do
  page=$tree/usr/share/man/man1/$program.1.gz
  errors=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >"$work/$program.txt") ||
    fail "man -l $program.1.gz"
  [[ -z $errors ]] || fail "man -l $program.1.gz: $errors"
  grep -q "^NAME" "$work/$program.txt" && grep -q "^SYNOPSIS" "$work/$program.txt" ||
    fail "$program(1) renders without NAME or SYNOPSIS"
done
grep -q 'CAP_NET_RAW' "$work/korvel-devsim.txt" && grep -q 'namespace' "$work/korvel-devsim.txt" ||
  fail "korvel-devsim(1) does not say it needs a namespace and CAP_NET_RAW"

echo "lintian:"
if ! lintian --fail-on error --tag-display-limit 0 "$deb"; then
  fail "lintian reports errors"
fi

# --- the completion, with the packed korvel-cli ---
complete_words() {
  (
    cd "$work"
    source "$tree/usr/share/bash-completion/completions/korvel-cli"
    COMP_WORDS=("$tree/usr/bin/korvel-cli" "$@")
    COMP_CWORD=$#
    _korvel_cli
    printf '%s\n' "${COMPREPLY[@]}" | sort
  )
}
touch "$work/device.qlxfw" "$work/notes.txt"
words=$(complete_words "")
for word in info program summary --help; do
  grep -qx -- "$word" <<<"$words" || fail "completion of 'korvel-cli ' lacks $word: $words"
done
words=$(complete_words info --)
for word in --ip --interface --login --password --password-stdin --help; do
  grep -qx -- "$word" <<<"$words" || fail "completion of 'korvel-cli info --' lacks $word: $words"
done
[[ -z $(complete_words info --ip "") ]] || fail "completion offers words for the address"
words=$(complete_words program "")
grep -qx 'device.qlxfw' <<<"$words" && ! grep -q 'notes.txt' <<<"$words" ||
  fail "completion of an image: $words"
grep -qx -- '--via-boot' <<<"$(complete_words program device.qlxfw --v)" ||
  fail "completion of 'korvel-cli program IMAGE --v' lacks --via-boot"
words=$(complete_words program device.qlxfw --)
for word in --targets --jobs; do
  grep -qx -- "$word" <<<"$words" || fail "completion of 'korvel-cli program IMAGE --' lacks $word"
done
# A target list is any file; a number of jobs is the user's own.
words=$(complete_words program device.qlxfw --targets "")
grep -qx 'notes.txt' <<<"$words" || fail "completion of a target list: $words"
[[ -z $(complete_words program device.qlxfw --jobs "") ]] || fail "completion offers words for --jobs"
# An interface is one of this machine's.
grep -qx 'lo' <<<"$(complete_words info --interface "")" || fail "completion of an interface"

# --- the postinst ---
if ((EUID != 0)); then
  echo "postinst not run: setting capabilities needs root" >&2
  ((failures == 0)) || exit 1
  exit 77
fi
if ! out=$(DPKG_ROOT=$tree sh "$tree/DEBIAN/postinst" configure 2>&1); then
  fail "postinst configure failed: $out"
fi
granted=$(getcap -r "$tree" 2>/dev/null)
[[ $granted == "$tree$helper cap_net_raw=ep" ]] ||
  fail "after the postinst not only the helper holds cap_net_raw: $granted $out"
[[ -z $out ]] || fail "postinst spoke although it could set the capabilities: $out"

# A file system that holds no capabilities, and a system without setcap: the installation still
# succeeds and the administrator reads what to do instead.
fake=$work/fake-bin
mkdir -p "$fake"
printf '#!/bin/sh\necho "Failed to set capabilities on file \\`$1'"'"' (Operation not supported)" >&2\nexit 1\n' \
  >"$fake/setcap"
chmod +x "$fake/setcap"
ln -sf "$(command -v cat)" "$fake/cat"
for situation in no-capabilities no-setcap; do
  [[ $situation == no-setcap ]] && rm -f "$fake/setcap"
  if ! out=$(PATH=$fake DPKG_ROOT=$tree /bin/sh "$tree/DEBIAN/postinst" configure 2>&1); then
    fail "postinst failed ($situation): $out"
  fi
  grep -qF 'sysctl -w net.ipv4.ping_group_range="0 2147483647"' <<<"$out" &&
    grep -q '/etc/sysctl.d/' <<<"$out" || fail "postinst ($situation) does not say what to do: $out"
done
echo "postinst where capabilities cannot be set:"
echo "$out"

# --- as an ordinary user, with the capability back where the postinst puts it ---
DPKG_ROOT=$tree sh "$tree/DEBIAN/postinst" configure
"$repo/tests/package/unprivileged_user_check.sh" "$tree" "$repo" "$work/user" ||
  fail "the installed tree as an ordinary user"

((failures == 0)) || { echo "$failures failures" >&2; exit 1; }
echo "package checks passed"
