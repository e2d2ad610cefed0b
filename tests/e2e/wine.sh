# The Windows program in the end-to-end bed, under Wine; sourced by run.sh
# when its folder holds vesk-hb.exe. The cases are run.sh's: only how the
# program starts differs, and where the application watch reads its counter.
#
# Wine's server creates the program's sockets, so the prefix is made, and
# every Wine process started, inside "ws": nothing of Wine runs in the root
# namespace. Xvfb, also in "ws", gives the program's windows a display.
# shellcheck shell=bash

WINE_DIR="$TMP/wine"
EXTRA_CASES="i"
# Wine's own start-up (its server, the Qt DLLs) comes before the program's
# entry: about 3 s more than a Linux start, measured 8.6 s in all.
FIRST_BEAT_LATEST=10
WINE_DISPLAY=""

# Runs a command inside "ws" with the bed's host name and hosts file and
# Wine's surroundings: in_ws FOLDER-WITH-HOSTS COMMAND...
in_ws() {
  local dir="$1"
  shift
  ip netns exec "$WS" unshare --uts --mount sh -c '
      dir=$1; shift
      hostname vhb-ws && mount --bind "$dir/hosts" /etc/hosts && cd "$dir" &&
      exec "$@"' sh "$dir" env HOME="$WINE_DIR/home" TMPDIR="$WINE_DIR/tmp" \
    XDG_CONFIG_HOME="$WINE_DIR/home/.config" XDG_DATA_HOME="$WINE_DIR/home/.local/share" \
    WINEPREFIX="$WINE_DIR/prefix" WINEDEBUG=-all DISPLAY="$WINE_DISPLAY" \
    WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;pdh=n,b" \
    VHB_PDH_VALUES="Z:$(printf '%s' "$WINE_DIR/pdh-values" | tr / '\\')" "$@"
}

setup_wine() {
  command -v wine >/dev/null && command -v Xvfb >/dev/null || {
    echo "end-to-end under Wine: wine and Xvfb are needed" >&2
    return 1
  }
  mkdir -p "$WINE_DIR/home" "$WINE_DIR/tmp"
  printf '127.0.0.1 localhost\n%s vhb-ws\n' "$WS_IP" >"$WINE_DIR/hosts"
  # Xvfb picks a free display and names it on the descriptor.
  ip netns exec "$WS" Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 \
    3>"$WINE_DIR/display" >"$WINE_DIR/xvfb.log" 2>&1 &
  PIDS+=("$!")
  local i
  for i in $(seq 50); do
    [ -s "$WINE_DIR/display" ] && break
    sleep 0.1
  done
  [ -s "$WINE_DIR/display" ] || { echo "Xvfb did not start" >&2; return 1; }
  WINE_DISPLAY=":$(head -n 1 "$WINE_DIR/display")"
  in_ws "$WINE_DIR" wineboot -i >"$WINE_DIR/wineboot.log" 2>&1 || return 1
  in_ws "$WINE_DIR" wineserver -w
}

eval "bed_setup_net() $(declare -f setup_net | tail -n +2)"
eval "bed_case_d() $(declare -f case_d | tail -n +2)"
setup_net() { bed_setup_net && setup_wine; }

# The unzipped folder copied whole, the settings file beside vesk-hb.exe.
start_program() {
  local name="$1" settings="$2"
  APPDIR="$TMP/app-$name"
  mkdir -p "$APPDIR"
  cp -r "$BIN"/. "$APPDIR/"
  # The stand-in counter library, where the bed has one (see case d).
  [ -n "${VHB_E2E_PDH:-}" ] && [ -f "$VHB_E2E_PDH" ] && cp "$VHB_E2E_PDH" "$APPDIR/pdh.dll"
  printf '%s\n' "$settings" >"$APPDIR/vesk-hb.Ini"
  # Wine shows a file without write permission as read-only.
  [ -n "${INI_MODE:-}" ] && chmod "$INI_MODE" "$APPDIR/vesk-hb.Ini"
  cp "$WINE_DIR/hosts" "$APPDIR/hosts"
  PROGLOG="$TMP/program-$name.log"
  launch_program
}
# PROG_ENV: assignments for the program's surroundings (a locale, say).
PROG_ENV=""
launch_program() {
  PROG_START="$(now)"
  # shellcheck disable=SC2086
  in_ws "$APPDIR" env $PROG_ENV wine "$APPDIR/vesk-hb.exe" >>"$PROGLOG" 2>&1 &
  PROG_PID=$!
  PIDS+=("$PROG_PID")
}

# The program is gone once Wine's server has let it go, so the next case
# can bind the same ports.
stop_program() {
  [ -n "$PROG_PID" ] && kill_pid "$PROG_PID"
  PROG_PID=""
  in_ws "$WINE_DIR" wineserver -k >/dev/null 2>&1
  in_ws "$WINE_DIR" wineserver -w >/dev/null 2>&1
}

# Wine's pdh has no per-process counter. The bed's stand-in (VHB_E2E_PDH,
# built with the tests, never in the zip) takes its place beside the program,
# preferred to Wine's own: it serves the process's processor time from a file
# that the helper below advances, and refuses the path in the system's own
# language as a German system does, so the English call is shown too. Then
# run.sh's case d runs as on Linux: SIGSTOP to the helper holds the value.
PDH_VALUES="$WINE_DIR/pdh-values"
watch_available() {
  if [ -z "${VHB_E2E_PDH:-}" ] || [ ! -f "$VHB_E2E_PDH" ]; then
    skip "$1: application watch skipped: the stand-in counter library (VHB_E2E_PDH) is not built"
    return 1
  fi
  mkdir -p "$PDH_VALUES"
  return 0
}
# Processor time in 100 ns units, advanced 20 ms every 0.1 s while it runs;
# the file goes with the helper, as the process does.
start_helper() {
  mkdir -p "$PDH_VALUES"
  local file="$PDH_VALUES/$HELPER_NAME#0"
  sh -c 'v=0; while :; do v=$((v + 200000)); echo $v >"$1.new" && mv "$1.new" "$1"; sleep 0.1; done' \
    sh "$file" &
  HELPER_PID=$!
  PIDS+=("$HELPER_PID")
  started "$HELPER_PID" sh
}
stop_helper() {
  [ -n "$HELPER_PID" ] && kill_pid "$HELPER_PID"
  HELPER_PID=""
  rm -f "$PDH_VALUES/$HELPER_NAME#0"*
}

case_d() {
  if [ -n "${VHB_E2E_PDH:-}" ] && [ -f "$VHB_E2E_PDH" ]; then
    bed_case_d
  else
    wine_case_d
  fi
  wine_case_sim
}

# Without the stand-in the path is refused: no error, and the heartbeat runs on.
wine_case_d() {
  echo "== d) application watch under Wine: the counter path is refused, the heartbeat runs on"
  skip "d: a hung application holding the heartbeat (no stand-in counter library)"
  set_dev_addrs "$DEV_IP"
  start_sim d-wine --timeout 3 || { fail "d: simulator"; return; }
  start_program d-wine "$(printf '[NETWORK]\nIP=%s\nINTERVAL=1\n[CPU]\nAUTOSTART=1\nCOUNT1=3\nAPP1=vhbnosuch#0\nWAITSTART=0' \
    "$DEV_IP")"
  wait_events 20 2 event=heartbeat
  local from
  from="$(now)"
  sleep 8
  check "d: with the watch on and its path refused, heartbeats go on every second" \
    test "$(count event=heartbeat --since "$from")" -ge 6
  check "d: ... with no gap" test "$(count event=gap --since "$from")" -eq 0
  check "d: the program was still running" program_alive
  stop_program
  stop_sim
}

# The Windows simulator, under the same Wine server in "ws" on the program's
# own address: the program's broadcast request reaches it there, its answer
# names the MAC address the program follows, and the heartbeats then go to
# it. The Linux simulator in "dev" hears the first ones and stays silent.
wine_case_sim() {
  echo "== w) the Windows device simulator under Wine answers the program"
  local winsim="$BIN/vesk-hb-device.exe"
  [ -f "$winsim" ] || { fail "w: $winsim is in the folder"; return; }
  set_dev_addrs "$DEV_IP"
  start_sim w-dev --timeout 30 --port 9200 --no-reply || { fail "w: simulator in dev"; return; }
  local devlog="$SIMLOG"
  SIMLOG="$TMP/dev-w-win.log"
  in_ws "$WINE_DIR" wine "$winsim" --json --port 9200 --mac "$DEV_MAC" --timeout 30 \
    >"$SIMLOG" 2>"$TMP/dev-w-win.err" &
  local winsim_pid=$!
  PIDS+=("$winsim_pid")
  wait_events 20 1 event=listen || { fail "w: the Windows simulator starts under Wine"; return; }
  start_program w "$(printf '[NETWORK]\nIP=%s\nPORT=9200\nINTERVAL=1\nMAC=%s\nMACCHECKED=1' \
    "$DEV_IP" "$DEV_MAC")"
  wait_events 25 3 event=heartbeat to=$WS_IP
  check "w: the Windows simulator got the broadcast requests from $WS_IP:9010" \
    test "$(count event=discovery valid=true from=$WS_IP port=9010 to=192.168.10.255)" -ge 1
  check "w: ... and answered them" test "$(count event=reply to=$WS_IP port=9010)" -ge 1
  check "w: the heartbeats followed it to $WS_IP:9200, 9 bytes from port 9100" \
    test "$(count event=heartbeat to=$WS_IP len=9 valid=true port=9100)" -ge 3
  SIMLOG="$devlog"
  check "w: before that the device in dev heard them" test "$(count event=heartbeat)" -ge 1
  stop_program
  kill_pid "$winsim_pid"
  stop_sim
}

# Operators unzip the program into folders of any name. The system's locale
# gives Wine its code page: Japanese (932) for a Japanese name, and a
# Cyrillic name under the Western code page (1252), which has none of its
# letters. Both locales are made in the bed's own folder.
case_i() {
  echo "== i) the unzipped program in folders named in Japanese (code page 932) and Cyrillic (1252)"
  local loc="$WINE_DIR/locale"
  mkdir -p "$loc"
  if ! localedef -i ja_JP -f UTF-8 "$loc/ja_JP.UTF-8" >/dev/null 2>&1 ||
    ! localedef -i en_US -f UTF-8 "$loc/en_US.UTF-8" >/dev/null 2>&1; then
    skip "i: folders of any name (localedef cannot make the locales)"
    return
  fi
  set_dev_addrs "$DEV_IP"
  local folder locale n=0
  for folder in "ツール:ja_JP.UTF-8" "Інструменти:en_US.UTF-8"; do
    locale="${folder#*:}" folder="${folder%%:*}" n=$((n + 1))
    start_sim "i$n" --timeout 3 || { fail "i: simulator"; return; }
    APPDIR="$TMP/i$n/$folder"
    mkdir -p "$APPDIR"
    cp -r "$BIN"/. "$APPDIR/"
    printf '[NETWORK]\nIP=%s\nINTERVAL=1\n' "$DEV_IP" >"$APPDIR/vesk-hb.Ini"
    cp "$WINE_DIR/hosts" "$APPDIR/hosts"
    PROGLOG="$TMP/program-i$n.log"
    PROG_ENV="LOCPATH=$loc LANG=$locale LC_ALL=$locale"
    launch_program
    PROG_ENV=""
    wait_events 25 3 event=heartbeat
    check "i: from $folder under $locale, heartbeats flow" test "$(count event=heartbeat)" -ge 3
    local keys
    keys="$(grep -cE '^(PORT|IP|INTERVAL|LOCALPORT|MAC|CODE|MACCHECKED|STARTCNT|COUNT1|APP1|AUTOSTART|WAITSTART)=' \
      "$APPDIR/vesk-hb.Ini")"
    check "i: ... and the automatic start completed the settings file there (12 keys, got $keys)" \
      test "$keys" -eq 12
    check "i: ... with no temporary file left beside it" \
      test -z "$(find "$APPDIR" -maxdepth 1 -name 'vesk-hb.Ini.tmp*')"
    stop_program
    stop_sim
  done
}
