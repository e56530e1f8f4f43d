#!/usr/bin/env bash
# The windows' part of scripts/bench, run by it inside scripts/with-devsim: the Qt window (korvel)
# and, when given, Korvel.exe under Wine, both on one Xvfb display whose window manager is
# bench/window_ping.py, which pings every window every 50 ms as desktops check liveness. Each
# window is started afresh per situation with settings seeded as the operator's, driven by
# clicks and keys, and the longest time it took to answer a ping is printed as
#   window=qt|wine situation=NAME longest_ms=N pings=N unanswered=N run_s=S
# and, for the run from the window against the same run through korvel-cli,
#   window=qt|wine situation=ratio window_s=S cli_s=S
#
# usage: bench_window.sh [--in-wine] WORK KORVEL KORVEL_CLI [KORVEL_EXE WINE_PREFIX [KORVEL_CLI_EXE]]
# Korvel.exe's run is compared with KORVEL_CLI_EXE's under the same Wine session where given,
# else with KORVEL_CLI's.
# WORK holds the images made by scripts/bench: sub.qlxfw (256 KiB to bus address 5) and
# device.qlxfw (into the device itself). The simulated devices (scripts/bench's devsim.json):
#   127.0.0.2 a healthy device with a subordinate at 5 (the runs the CLI is compared with)
#   127.0.0.3 the same, with 5 % of the replies lost
#   127.0.0.4, 127.0.0.5 devices waiting in their boot monitor, started by hand (one per window)
#   127.0.0.6, 127.0.0.7 devices whose main program hands over to the boot monitor
#   127.0.0.99 nothing answers
set -euo pipefail

in_wine=0
[[ ${1:-} == --in-wine ]] && { in_wine=1; shift; }
here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$(dirname "$here")")
work=$1 korvel=$2 cli=$3 korvel_exe=${4:-} wine_prefix=${5:-} cli_exe=${6:-}
probe=$repo/bench/window_ping.py
pings=$work/pings.log
ratio_repeats=${KORVEL_WINDOW_RATIO_REPEATS:-3}

address_number() {  # DOTTED: the address with the first octet on top, as the settings keep it
  local IFS=.
  set -- $1
  echo $((($1 << 24) | ($2 << 16) | ($3 << 8) | $4))
}
windows_path() { echo "Z:${1//\//\\}"; }

# start_window KIND ADDRESS IMAGE VIA_BOOT: the window, seeded, its credentials typed in.
start_window() {
  local kind=$1 address=$2 image=$3 via_boot=$4 number
  number=$(address_number "$address")
  if [[ $kind == qt ]]; then
    local folder="$work/config/Local AppWizard-Generated Applications"
    mkdir -p "$folder"
    printf '[Comm]\nIpAddr=%s\nFromBoot=%s\n\n[File]\nPath=%s\n' "$number" "$via_boot" "$image" \
      >"$folder/korvel.conf"
    XDG_CONFIG_HOME=$work/config "$korvel" >>"$work/korvel.log" 2>&1 &
  else
    local key='HKCU\Software\Local AppWizard-Generated Applications\Korvel'
    "$KORVEL_WINE" reg add "$key\Comm" /v IpAddr /t REG_DWORD /d "$number" /f >/dev/null 2>&1
    "$KORVEL_WINE" reg add "$key\Comm" /v FromBoot /t REG_DWORD /d "$via_boot" /f >/dev/null 2>&1
    "$KORVEL_WINE" reg add "$key\File" /v Path /t REG_SZ /d "$(windows_path "$image")" /f \
      >/dev/null 2>&1
    "$KORVEL_WINE" "$korvel_exe" >>"$work/korvel.log" 2>&1 &
  fi
  window_pid=$!
  window=$(timeout 90 xdotool search --sync --onlyvisible --name "^$title" | head -n1) || {
    echo "bench_window: the $kind window did not appear" >&2
    cat "$work/korvel.log" >&2
    exit 1
  }
  # Top left, so that the help page fits below it.
  timeout 5 xdotool windowmove --sync "$window" 0 0 2>/dev/null || true
  sleep 0.5
  type_into 60 114 admin   # login
  type_into 126 114 admin  # password
}

# Clicks the control at x, y (dialog units, 280 x 132 for the whole window) and types.
type_into() {
  eval "$(xdotool getwindowgeometry --shell "$window")"
  xdotool mousemove --window "$window" $((($1 + 10) * WIDTH / 280)) $((($2 + 6) * HEIGHT / 132)) \
    click 1
  sleep 0.2
  xdotool type --delay 20 "$3"
}

close_window() {
  xdotool windowfocus --sync "$window" key Escape 2>/dev/null || true
  for ((i = 0; i < 100; ++i)); do
    kill -0 "$window_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill "$window_pid" 2>/dev/null || true
  wait "$window_pid" 2>/dev/null || true
}

# press X Y: clicks the control at X, Y and waits until the input set, watched on the «Обзор»
# button, is off and back on; sets click, off, on.
press() {
  local line
  line=$("$probe" press "$title" "$1" "$2" "${browse_button[@]}" --timeout 150) || return 1
  click=$(sed 's/.*click=\([^ ]*\).*/\1/' <<<"$line")
  on=$(sed 's/.*on=\([^ ]*\).*/\1/' <<<"$line")
}
# The main window's title begins so; a message box's is the bare "Korvel".
readonly title="Korvel в"
readonly browse_button=(242 50 32 8)
readonly program_x=200 program_y=118 info_x=248 info_y=28 help_x=248 help_y=10

report() {  # KIND SITUATION
  echo "window=$1 situation=$2 $("$probe" longest "$pings" "$title" "$click" "$on")" \
    "run_s=$(awk -v a="$click" -v b="$on" 'BEGIN { printf "%.3f", b - a }') from=$click to=$on"
}

# The help page opened once the run is under way; it stays open until the run has ended.
press_with_help_open() {
  local press_pid help
  "$probe" press "$title" "$program_x" "$program_y" "${browse_button[@]}" --timeout 150 \
    >"$work/press.out" &
  press_pid=$!
  sleep 2
  xdotool mousemove --window "$window" $((help_x * WIDTH / 280)) $((help_y * HEIGHT / 132)) click 1
  help=$(timeout 20 xdotool search --sync --onlyvisible --name '^Справка' | head -n1) || true
  [[ -n $help ]] && xdotool windowmove "$help" 0 $((HEIGHT + 40)) windowsize "$help" 640 360
  wait "$press_pid" || true
  help_open_at_end=no
  [[ -n $help ]] && xdotool search --onlyvisible --name '^Справка' >/dev/null 2>&1 && help_open_at_end=yes
  [[ -n $help ]] && { xdotool windowfocus --sync "$help" key Escape 2>/dev/null || true; }
}

cli_program() {  # KIND
  if [[ $1 == wine && -n $cli_exe ]]; then
    "$KORVEL_WINE" "$cli_exe" program "$(windows_path "$work/sub.qlxfw")" --ip 127.0.0.2 \
      --login admin --password admin
  else
    "$cli" program "$work/sub.qlxfw" --ip 127.0.0.2 --login admin --password admin
  fi
}

# situation KIND NAME ADDRESS IMAGE VIA_BOOT X Y: one press in a window started for it.
situation() {
  local kind=$1 name=$2
  start_window "$kind" "$3" "$4" "$5"
  if press "$6" "$7"; then
    report "$kind" "$name"
  else
    echo "window=$kind situation=$name failed=1"
  fi
  close_window
}

measure() {  # KIND BOOT_MONITOR_DEVICE MAIN_PROGRAM_DEVICE
  local kind=$1 i start end
  situation "$kind" silent-info 127.0.0.99 "$work/sub.qlxfw" 0 "$info_x" "$info_y"
  situation "$kind" via-boot "$2" "$work/device.qlxfw" 1 "$program_x" "$program_y"
  situation "$kind" hand-over "$3" "$work/device.qlxfw" 0 "$program_x" "$program_y"
  situation "$kind" lossy-subordinate 127.0.0.3 "$work/sub.qlxfw" 0 "$program_x" "$program_y"

  start_window "$kind" 127.0.0.2 "$work/sub.qlxfw" 0
  eval "$(xdotool getwindowgeometry --shell "$window")"
  press_with_help_open
  click=$(sed 's/.*click=\([^ ]*\).*/\1/' "$work/press.out")
  on=$(sed 's/.*on=\([^ ]*\).*/\1/' "$work/press.out")
  echo "$(report "$kind" help-open) help_open_at_end=$help_open_at_end"

  # Side by side on the same device and image: the CLI, then the window, in turn.
  local cli_kind=native
  [[ $kind == wine && -n $cli_exe ]] && cli_kind=wine
  for ((i = 0; i < ratio_repeats; ++i)); do
    start=$EPOCHREALTIME
    cli_program "$kind" >/dev/null 2>&1 || echo "bench_window: korvel-cli program failed" >&2
    end=$EPOCHREALTIME
    press "$program_x" "$program_y"
    echo "window=$kind situation=ratio cli=$cli_kind" \
      "window_s=$(awk -v a="$click" -v b="$on" 'BEGIN { printf "%.3f", b - a }')" \
      "cli_s=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')"
  done
  close_window
}

# Inside the Wine session, on the display and next to the window manager started below.
if [[ $in_wine == 1 ]]; then
  measure wine 127.0.0.5 127.0.0.7
  exit
fi

trap 'kill $(jobs -p) 2>/dev/null; wait 2>/dev/null' EXIT

display_file=$work/display
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$display_file" 2>"$work/xvfb.log" &
for ((i = 0; i < 250; ++i)); do
  [[ -s $display_file ]] && break
  sleep 0.02
done
[[ -s $display_file ]] || { echo "bench_window: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(head -n1 "$display_file")
"$probe" wm "$pings" --period-ms 50 &
for ((i = 0; i < 250; ++i)); do
  grep -q '^ready' "$pings" 2>/dev/null && break
  sleep 0.02
done
grep -q '^ready' "$pings" || { echo "bench_window: the window manager did not start" >&2; exit 1; }

measure qt 127.0.0.4 127.0.0.6
if [[ -n $korvel_exe ]]; then
  KORVEL_WINE_DISPLAY=1 "$repo/scripts/wine-session" "$wine_prefix" -- \
    "$0" --in-wine "$work" "$korvel" "$cli" "$korvel_exe" "$wine_prefix" "$cli_exe"
fi
