#!/usr/bin/env bash
# End-to-end bed: the built program and the device simulator in two network
# namespaces of their own, joined by a veth pair, the program driven only by
# its settings file, its automatic start and the device's behaviour.
#
#   tests/e2e/run.sh BUILD/bin        (as root)
#   VHB_E2E_SIM=build/bin/vesk-hb-device tests/e2e/run.sh FOLDER
#       where FOLDER holds vesk-hb.exe (the unzipped Windows program): the
#       same cases with the program under Wine (tests/e2e/wine.sh)
#
# "ws" (the workstation) is 192.168.10.5/24, "dev" (the device) 192.168.10.1/24.
# Neither namespace has a route beyond that subnet, so nothing the program sends
# can leave them. Everything made here is removed on exit, also on failure.
set -uo pipefail

HERE="$(cd "$(dirname "$0")" && pwd)"
EVENTS="$HERE/events.py"

if [ $# -ne 1 ] || [ ! -d "$1" ]; then
  echo "usage: $0 BUILD/bin" >&2
  exit 2
fi
BIN="$(cd "$1" && pwd)"
if [ "$(id -u)" -ne 0 ]; then
  echo "end-to-end: skipped (needs root to make network namespaces)"
  exit 0
fi
for tool in ip unshare python3 hostname; do
  command -v "$tool" >/dev/null || { echo "end-to-end: missing $tool" >&2; exit 2; }
done
PROGRAM="$BIN/vesk-hb"
SIM="$BIN/vesk-hb-device"
if [ -f "$BIN/vesk-hb.exe" ]; then
  PROGRAM="$BIN/vesk-hb.exe"
  SIM="${VHB_E2E_SIM:-}"
fi
for f in "$PROGRAM" "$SIM"; do
  # An unzipped .exe need not carry the executable bit: Wine starts it.
  [ -x "$f" ] || { [ "${f%.exe}" != "$f" ] && [ -f "$f" ]; } ||
    { echo "end-to-end: $f is not built" >&2; exit 2; }
done

WS="vhb-ws-$$"
DEV="vhb-dev-$$"
VETH_WS="vhbw$$"
VETH_DEV="vhbd$$"
WS_IP=192.168.10.5
DEV_IP=192.168.10.1
DEV_MAC=02:1A:2B:3C:4D:5E
TMP="$(mktemp -d /tmp/vhb-e2e.XXXXXX)"
PIDS=()
PASSED=0
FAILED=0
# The latest first heartbeat after the launch: start-up, then 1 s, then one
# interval of 5 s.
FIRST_BEAT_LATEST=7.5
SKIPPED=0

# What the root namespace looks like before; compared after the clean-up.
ROOT_HOSTNAME="$(hostname)"
ROOT_HOSTS_SUM="$(sha256sum /etc/hosts | cut -d' ' -f1)"
ROOT_HOSTS_MOUNTS="$(grep -c ' /etc/hosts ' /proc/self/mountinfo)"
ROOT_VETHS="$(ip -o link show type veth | wc -l)"

now() { date +%s.%N; }

pass() { PASSED=$((PASSED + 1)); echo "PASS $*"; }
skip() { SKIPPED=$((SKIPPED + 1)); echo "SKIP $*"; }
fail() {
  FAILED=$((FAILED + 1))
  echo "FAIL $*"
  if [ -n "${SIMLOG:-}" ] && [ -f "$SIMLOG" ]; then
    echo "  --- device log $(basename "$SIMLOG") (last 15 lines)"
    tail -n 15 "$SIMLOG" | sed 's/^/  /'
  fi
  if [ -n "${PROGLOG:-}" ] && [ -s "$PROGLOG" ]; then
    echo "  --- program output (last 10 lines)"
    tail -n 10 "$PROGLOG" | sed 's/^/  /'
  fi
}
# check NAME CONDITION-COMMAND... : one result line.
check() {
  local name="$1"
  shift
  if "$@"; then pass "$name"; else fail "$name"; fi
}

ev() { python3 "$EVENTS" "$SIMLOG" "$@"; }
count() { ev "$@" | wc -l; }
# awk on numbers: cmp A OP B
cmp() { awk -v a="$1" -v b="$3" "BEGIN { exit !(a $2 b) }"; }

# Waits until the device log holds at least N events matching the filter, or
# the time runs out. wait_events SECONDS N FILTER...
wait_events() {
  local secs="$1" n="$2"
  shift 2
  local until
  until="$(awk -v t="$(now)" -v s="$secs" 'BEGIN { printf "%.3f", t + s }')"
  while cmp "$(now)" "<" "$until"; do
    [ "$(count "$@")" -ge "$n" ] && return 0
    sleep 0.2
  done
  [ "$(count "$@")" -ge "$n" ]
}

# started PID NAME: waits until the copy of this shell forked for a
# background command has become that command (NAME, as /proc shows it). A
# signal that reaches the copy first runs this shell's traps there, the
# run's clean-up included.
started() {
  for _ in $(seq 100); do
    [ "$(cat "/proc/$1/comm" 2>/dev/null)" = "$2" ] && return 0
    sleep 0.02
  done
}

kill_pid() {
  local pid="$1"
  kill -0 "$pid" 2>/dev/null || return 0
  kill -TERM "$pid" 2>/dev/null
  for _ in $(seq 30); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$pid" 2>/dev/null && kill -KILL -- "$pid" 2>/dev/null
  kill -CONT "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  return 0
}

cleanup() {
  # Only the run itself tears down, never a forked copy of it.
  [ "$BASHPID" = "$$" ] || return 0
  local pid
  for pid in "${PIDS[@]}"; do kill_pid "$pid"; done
  PIDS=()
  # Anything still living in our namespaces was started by this run.
  for ns in "$WS" "$DEV"; do
    if ip netns list | grep -qw "$ns"; then
      for pid in $(ip netns pids "$ns" 2>/dev/null); do kill -KILL "$pid" 2>/dev/null; done
      ip netns del "$ns" 2>/dev/null
    fi
  done
  ip link del "$VETH_WS" 2>/dev/null
  ip link del "$VETH_DEV" 2>/dev/null
  rm -rf "$TMP"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# --- the two namespaces ---------------------------------------------------
setup_net() {
  ip netns add "$WS" && ip netns add "$DEV" || return 1
  # Made inside the namespaces, so the pair never exists in the root one.
  ip link add "$VETH_WS" netns "$WS" type veth peer name "$VETH_DEV" netns "$DEV" || return 1
  ip -n "$WS" link set lo up && ip -n "$DEV" link set lo up || return 1
  ip -n "$WS" addr add "$WS_IP/24" brd + dev "$VETH_WS" || return 1
  ip -n "$DEV" addr add "$DEV_IP/24" brd + dev "$VETH_DEV" || return 1
  ip -n "$WS" link set "$VETH_WS" up && ip -n "$DEV" link set "$VETH_DEV" up || return 1
  # The program must have no way out of the bed.
  [ -z "$(ip -n "$WS" route show default)" ] && [ -z "$(ip -n "$DEV" route show default)" ]
}

# Moves the device to other addresses: set_dev_addrs PRIMARY [SECONDARY].
# The primary is the source of the device's replies.
set_dev_addrs() {
  ip -n "$DEV" addr flush dev "$VETH_DEV" || return 1
  local a
  for a in "$@"; do ip -n "$DEV" addr add "$a/24" brd + dev "$VETH_DEV" || return 1; done
}

# --- the device -------------------------------------------------------------
SIM_PID=""
# start_sim NAME [simulator options]: a fresh log $TMP/dev-NAME.log.
start_sim() {
  local name="$1"
  shift
  SIMLOG="$TMP/dev-$name.log"
  ip netns exec "$DEV" "$SIM" --json "$@" >"$SIMLOG" 2>"$TMP/dev-$name.err" &
  SIM_PID=$!
  PIDS+=("$SIM_PID")
  wait_events 5 1 event=listen || { echo "device simulator did not start" >&2; return 1; }
}
stop_sim() { [ -n "$SIM_PID" ] && kill_pid "$SIM_PID"; SIM_PID=""; }

# --- the program --------------------------------------------------------
PROG_PID=""
APPDIR=""
# start_program NAME SETTINGS-TEXT: the program copied into its own folder
# with the settings file beside it, started in "ws" with a host name and a
# hosts file of its own, so its local address search finds 192.168.10.5.
start_program() {
  local name="$1" settings="$2"
  APPDIR="$TMP/app-$name"
  mkdir -p "$APPDIR/tmp" "$APPDIR/home" "$APPDIR/run"
  chmod 700 "$APPDIR/run"
  cp "$PROGRAM" "$APPDIR/vesk-hb"
  [ -f "$BIN/libvhb-pdh.so" ] && cp "$BIN/libvhb-pdh.so" "$APPDIR/"
  printf '%s\n' "$settings" >"$APPDIR/vesk-hb.Ini"
  [ -n "${INI_MODE:-}" ] && chmod "$INI_MODE" "$APPDIR/vesk-hb.Ini"
  printf '127.0.0.1 localhost\n%s vhb-ws\n' "$WS_IP" >"$APPDIR/hosts"
  PROGLOG="$TMP/program-$name.log"
  launch_program
}
# Starts the program of APPDIR again, as a logon or the operator would.
launch_program() {
  PROG_START="$(now)"
  # HOME, TMPDIR and XDG_RUNTIME_DIR in the temporary folder: its lock file
  # and anything it might write stay there.
  ip netns exec "$WS" unshare --uts --mount sh -c '
      hostname vhb-ws &&
      mount --bind "$1/hosts" /etc/hosts &&
      cd "$1" &&
      exec env HOME="$1/home" TMPDIR="$1/tmp" XDG_RUNTIME_DIR="$1/run" \
        QT_QPA_PLATFORM=offscreen "$1/vesk-hb"' sh "$APPDIR" >>"$PROGLOG" 2>&1 &
  PROG_PID=$!
  PIDS+=("$PROG_PID")
}
stop_program() { [ -n "$PROG_PID" ] && kill_pid "$PROG_PID"; PROG_PID=""; }
program_alive() { kill -0 "$PROG_PID" 2>/dev/null; }

# The gaps between successive values on stdin, one per line.
gaps() { awk 'NR > 1 { printf "%.3f\n", $1 - prev } { prev = $1 }'; }
last_of() { tail -n 1; }
# gaps_ok N LO HI VALUES: exactly N values, one per line, each in [LO, HI].
gaps_ok() {
  awk -v n="$1" -v lo="$2" -v hi="$3" 'BEGIN { ok = 1; c = 0 }
      NF { c++; if ($1 < lo || $1 > hi) ok = 0 } END { exit !(ok && c == n) }' <<<"$4"
}

# --- cases ------------------------------------------------------------------

case_a() {
  echo "== a) defaults: heartbeats to $DEV_IP every 5 s"
  start_sim a --timeout 30 || { fail "a: device simulator starts"; return; }
  start_program a "$(printf '[NETWORK]\nIP=%s' "$DEV_IP")"
  # First heartbeat one second (automatic start) plus one interval after the
  # launch; four of them give three gaps.
  wait_events 30 4 event=heartbeat
  local n
  n="$(count event=heartbeat)"
  check "a: at least 4 heartbeats within 30 s (got $n)" test "$n" -ge 4
  check "a: every heartbeat is the 9-byte ZANTOHB datagram from $WS_IP:9100 to $DEV_IP" \
    test "$(count event=heartbeat len=9 valid=true hex=5A414E544F48420D0A from=$WS_IP port=9100 \
      to=$DEV_IP)" -eq "$n"
  check "a: nothing invalid arrived" test "$(count event=bad)" -eq 0
  local g
  g="$(ev event=heartbeat | head -n 4 | gaps)"
  check "a: 3 gaps of 5 s +- 0.5 s ($(echo $g))" gaps_ok 3 4.5 5.5 "$g"
  local first
  first="$(ev event=heartbeat | head -n 1)"
  check "a: first heartbeat 5 to $FIRST_BEAT_LATEST s after the launch" \
    cmp "$(awk -v a="$first" -v b="$PROG_START" 'BEGIN{print a-b}')" ">=" 5
  check "a: ... and not later than $FIRST_BEAT_LATEST s" \
    cmp "$(awk -v a="$first" -v b="$PROG_START" 'BEGIN{print a-b}')" "<=" "$FIRST_BEAT_LATEST"
  check "a: no discovery request while MAC Address is off" test "$(count event=discovery)" -eq 0
  # The automatic start saves the settings: the one-line file is now whole.
  local keys
  keys="$(grep -cE '^(PORT|IP|INTERVAL|LOCALPORT|MAC|CODE|MACCHECKED|STARTCNT|COUNT1|APP1|AUTOSTART|WAITSTART)=' \
    "$APPDIR/vesk-hb.Ini")"
  check "a: the automatic start completed the settings file (12 keys, got $keys)" test "$keys" -eq 12
  # Lines the program adds end in CR LF on Windows.
  check "a: the settings file keeps IP=$DEV_IP and holds INTERVAL=5" \
    sh -c "tr -d '\r' <'$APPDIR/vesk-hb.Ini' | grep -qx 'IP=$DEV_IP' &&
      tr -d '\r' <'$APPDIR/vesk-hb.Ini' | grep -qx 'INTERVAL=5'"
  stop_program
  stop_sim
}

case_b_c() {
  echo "== b) MAC Address: a request every tick; the heartbeat follows the device"
  set_dev_addrs "$DEV_IP" || { fail "b: device address"; return; }
  start_sim b --timeout 30 --mac "$DEV_MAC" || { fail "b: device simulator starts"; return; }
  start_program b "$(printf '[NETWORK]\nIP=%s\nINTERVAL=1\nMAC=%s\nMACCHECKED=1' "$DEV_IP" "$DEV_MAC")"
  wait_events 10 4 event=discovery
  # Counted up to one moment, so that a datagram arriving meanwhile is not
  # counted by one check and missed by the next.
  local upto
  upto="$(now)"
  local req="event=discovery valid=true len=32 from=$WS_IP port=9010 to=192.168.10.255 --until $upto"
  check "b: requests broadcast to 192.168.10.255:15580 from port 9010 naming $WS_IP" \
    test "$(count $req address=$WS_IP)" -ge 4
  check "b: every request is valid and broadcast" \
    test "$(count event=discovery --until "$upto")" -eq "$(count $req)"
  check "b: the device answered them" test "$(count event=reply to=$WS_IP port=9010)" -ge 3
  check "b: heartbeats arrive at $DEV_IP" test "$(count event=heartbeat to=$DEV_IP)" -ge 2
  # One request per tick: as many requests as heartbeats, give or take the
  # tick in flight.
  local nh nd
  nh="$(count event=heartbeat --until "$upto")"
  nd="$(count event=discovery --until "$upto")"
  check "b: one request per tick ($nd requests, $nh heartbeats)" \
    test $((nd - nh)) -ge -1 -a $((nd - nh)) -le 1

  local moved
  moved="$(now)"
  set_dev_addrs 192.168.10.77 || { fail "b: moving the device"; return; }
  wait_events 8 2 event=heartbeat to=192.168.10.77 --since "$moved"
  check "b: after the device moved to .77 the heartbeats go there" \
    test "$(count event=heartbeat to=192.168.10.77 --since "$moved")" -ge 2
  check "b: the program was still running" program_alive
  stop_sim

  echo "== c) a device that stops answering changes nothing"
  # .88 becomes the address the device answers from; .77 still receives, so a
  # wrongly taken answer would show as heartbeats going to .88.
  set_dev_addrs 192.168.10.88 192.168.10.77 || { fail "c: device addresses"; return; }
  local t
  start_sim c-noreply --timeout 30 --mac "$DEV_MAC" --no-reply || { fail "c: simulator"; return; }
  t="$(now)"
  wait_events 6 4 event=heartbeat
  check "c: no answers: heartbeats still go to .77" \
    test "$(count event=heartbeat to=192.168.10.77 --since "$t")" -ge 3
  check "c: no answers: none go to .88" test "$(count event=heartbeat to=192.168.10.88)" -eq 0
  check "c: no answers: the requests go on" test "$(count event=discovery)" -ge 3
  check "c: no answers: none were sent" test "$(count event=reply)" -eq 0
  stop_sim

  start_sim c-othermac --timeout 30 --mac 02:00:00:00:00:99 || { fail "c: simulator"; return; }
  wait_events 6 4 event=heartbeat
  check "c: another device's MAC answers (from .88)" test "$(count event=reply)" -ge 3
  check "c: ... and the heartbeats stay on .77" \
    test "$(count event=heartbeat to=192.168.10.88)" -eq 0 -a "$(count event=heartbeat to=192.168.10.77)" -ge 3
  stop_sim

  # The same bed with the right MAC does move it: the two checks above could
  # have seen a change.
  start_sim c-control --timeout 30 --mac "$DEV_MAC" || { fail "c: simulator"; return; }
  wait_events 8 2 event=heartbeat to=192.168.10.88
  check "c: control: the right MAC from .88 moves the heartbeats to .88" \
    test "$(count event=heartbeat to=192.168.10.88)" -ge 2
  stop_program
  stop_sim
  set_dev_addrs "$DEV_IP"
}

# A helper whose processor time keeps changing: a copy of the shell, under a
# name of its own so that the watch can name its program.
HELPER_NAME="vhbjob$$"
HELPER_PID=""
start_helper() {
  cp /bin/sh "$TMP/$HELPER_NAME"
  ip netns exec "$WS" "$TMP/$HELPER_NAME" -c '
      while :; do i=0; while [ $i -lt 4000 ]; do i=$((i + 1)); done; sleep 0.1; done' &
  HELPER_PID=$!
  PIDS+=("$HELPER_PID")
  started "$HELPER_PID" "$HELPER_NAME"
}
stop_helper() { [ -n "$HELPER_PID" ] && kill_pid "$HELPER_PID"; HELPER_PID=""; }
# The counter library the watch reads: the program's own module on Linux.
# watch_available CASE
watch_available() {
  [ -f "$BIN/libvhb-pdh.so" ] && return 0
  skip "$1: application watch skipped: $BIN/libvhb-pdh.so is not built"
  return 1
}

case_d() {
  echo "== d) application watch"
  watch_available d || return
  set_dev_addrs "$DEV_IP"
  local cpu
  cpu="$(printf '[NETWORK]\nIP=%s\nINTERVAL=1\n[CPU]\nAUTOSTART=1\nCOUNT1=3\nAPP1=%s#0' \
    "$DEV_IP" "$HELPER_NAME")"

  start_sim d1 --timeout 2 || { fail "d: simulator"; return; }
  start_helper
  start_program d1 "$(printf '%s\nWAITSTART=0' "$cpu")"
  wait_events 10 4 event=heartbeat
  check "d: heartbeats arrive while the application works" test "$(count event=heartbeat)" -ge 4
  local stopped
  stopped="$(now)"
  kill -STOP "$HELPER_PID"
  sleep 9
  # COUNT1 equal samples plus the tick in flight: about COUNT1 + 2 intervals.
  local late last delay
  last="$(ev event=heartbeat | last_of)"
  delay="$(awk -v a="$last" -v b="$stopped" 'BEGIN{printf "%.1f", a - b}')"
  late="$(count event=heartbeat --since "$(awk -v t="$stopped" 'BEGIN{printf "%.3f", t + 6}')")"
  check "d: after SIGSTOP the heartbeats stop within about COUNT1 + 2 intervals (last ${delay} s after it)" \
    test "$late" -eq 0
  check "d: ... and the device reports the gap" test "$(count event=gap --since "$stopped")" -ge 1
  local resumed
  resumed="$(now)"
  kill -CONT "$HELPER_PID"
  wait_events 5 2 event=heartbeat --since "$resumed"
  check "d: after SIGCONT they resume" test "$(count event=heartbeat --since "$resumed")" -ge 2
  check "d: ... and the device reports the resume" test "$(count event=resume --since "$resumed")" -ge 1
  stop_program
  stop_helper
  stop_sim

  echo "== d) waiting for start"
  start_sim d2 --timeout 2 || { fail "d: simulator"; return; }
  start_program d2 "$(printf '%s\nWAITSTART=1' "$cpu")"
  local from
  from="$(awk -v t="$PROG_START" 'BEGIN{printf "%.3f", t + 2.5}')"
  sleep 9
  check "d: waiting for start: heartbeats go on while the application is not running" \
    test "$(count event=heartbeat --since "$from")" -ge 5
  check "d: waiting for start: no gap" test "$(count event=gap --since "$from")" -eq 0
  local started
  started="$(now)"
  start_helper
  sleep 4
  check "d: waiting for start: heartbeats go on once it runs" \
    test "$(count event=heartbeat --since "$started")" -ge 3
  stop_program
  stop_helper
  stop_sim
}

case_e() {
  echo "== e) a device name that resolves only later: the heartbeat starts by itself"
  set_dev_addrs "$DEV_IP"
  start_sim e --timeout 30 || { fail "e: simulator"; return; }
  start_program e "$(printf '[NETWORK]\nIP=vhb-device\nINTERVAL=1')"
  sleep 4
  check "e: nothing sent while the name does not resolve" test "$(count event=heartbeat)" -eq 0
  local known
  known="$(now)"
  # Appended in place: the program's /etc/hosts is this very file.
  printf '%s vhb-device\n' "$DEV_IP" >>"$APPDIR/hosts"
  wait_events 8 3 event=heartbeat --since "$known"
  check "e: heartbeats arrive once the name resolves, with nobody clicking the error away" \
    test "$(count event=heartbeat to=$DEV_IP --since "$known")" -ge 3
  check "e: the program is still running" program_alive
  stop_program
  stop_sim
}

case_f() {
  echo "== f) a read-only settings file does not switch the application watch off"
  watch_available f || return
  set_dev_addrs "$DEV_IP"
  start_sim f --timeout 2 || { fail "f: simulator"; return; }
  start_helper
  kill -STOP "$HELPER_PID"
  INI_MODE=444 start_program f "$(printf '[NETWORK]\nIP=%s\nINTERVAL=1\n[CPU]\nAUTOSTART=1\nCOUNT1=3\nWAITSTART=0\nAPP1=%s#0' \
    "$DEV_IP" "$HELPER_NAME")"
  local before
  before="$(sha256sum <"$APPDIR/vesk-hb.Ini")"
  sleep 10
  local from
  from="$(awk -v t="$PROG_START" 'BEGIN{printf "%.3f", t + 7}')"
  check "f: the stopped application holds the heartbeat (none after the first seconds)" \
    test "$(count event=heartbeat --since "$from")" -eq 0
  check "f: the read-only settings file is unchanged" \
    test "$(sha256sum <"$APPDIR/vesk-hb.Ini")" = "$before"
  check "f: the program is still running" program_alive
  stop_program
  kill -CONT "$HELPER_PID"
  stop_helper
  stop_sim
}

case_g() {
  echo "== g) killed as a crash ends it, then started again: heartbeats every time"
  set_dev_addrs "$DEV_IP"
  start_sim g --timeout 60 || { fail "g: simulator"; return; }
  start_program g "$(printf '[NETWORK]\nIP=%s\nINTERVAL=1' "$DEV_IP")"
  local round since
  for round in 0 1 2 3; do
    since="$PROG_START"
    wait_events "$FIRST_BEAT_LATEST" 1 event=heartbeat --since "$since"
    if [ "$round" -eq 0 ]; then
      check "g: the first start sends heartbeats" test "$(count event=heartbeat --since "$since")" -ge 1
    else
      check "g: start $round after a SIGKILL sends heartbeats" \
        test "$(count event=heartbeat --since "$since")" -ge 1
    fi
    [ "$round" -eq 3 ] && break
    kill -KILL "$PROG_PID" 2>/dev/null
    wait "$PROG_PID" 2>/dev/null
    launch_program
  done
  stop_program
  stop_sim
}

# Debian's and Ubuntu's installer map the host name to 127.0.1.1.
STOCK_HOSTS="$(printf '%s\n' '127.0.0.1	localhost' '127.0.1.1	vhb-ws' '' \
  '# The following lines are desirable for IPv6 capable hosts' \
  '::1     localhost ip6-localhost ip6-loopback' 'ff02::1 ip6-allnodes' 'ff02::2 ip6-allrouters')"

case_h() {
  echo "== h) stock hosts file and another interface first: the search still names $WS_IP"
  set_dev_addrs "$DEV_IP"
  # A second interface whose address the host lists first, as a virtual
  # adapter's on Windows: it carries the default route. Both ends of the pair
  # are in "ws", so that route leads nowhere.
  local first="vhbf$$" peer="vhbp$$"
  if ! { ip link add "$first" netns "$WS" type veth peer name "$peer" netns "$WS" &&
    ip -n "$WS" addr add 10.99.0.5/24 brd + dev "$first" &&
    ip -n "$WS" link set "$first" up && ip -n "$WS" link set "$peer" up &&
    ip -n "$WS" route add default dev "$first"; }; then
    fail "h: a second interface in ws with the default route"
    ip -n "$WS" link del "$first" 2>/dev/null
    return
  fi
  start_sim h --timeout 40 --mac "$DEV_MAC" || { fail "h: simulator"; ip -n "$WS" link del "$first"; return; }
  start_program h "$(printf '[NETWORK]\nIP=%s\nINTERVAL=1\nMAC=%s\nMACCHECKED=1' "$DEV_IP" "$DEV_MAC")"
  # Rewritten in place, seconds before the first search: the program's
  # /etc/hosts is this very file. Only what follows is counted.
  local stock
  printf '%s\n' "$STOCK_HOSTS" >"$APPDIR/hosts"
  stock="$(now)"
  wait_events 25 3 event=discovery --since "$stock"
  local upto
  upto="$(now)"
  local req="event=discovery valid=true len=32 from=$WS_IP port=9010 to=192.168.10.255 --since $stock --until $upto"
  check "h: with the name at 127.0.1.1 and 10.99.0.5 first, requests name $WS_IP and go to 192.168.10.255" \
    test "$(count $req address=$WS_IP)" -ge 3
  check "h: ... and no other request arrived" \
    test "$(count event=discovery --since "$stock" --until "$upto")" -eq "$(count $req address=$WS_IP)"
  check "h: the device answered them" test "$(count event=reply to=$WS_IP port=9010)" -ge 2
  local moved
  moved="$(now)"
  set_dev_addrs 192.168.10.77 || { fail "h: moving the device"; ip -n "$WS" link del "$first"; return; }
  wait_events 10 2 event=heartbeat to=192.168.10.77 --since "$moved"
  check "h: after the device moved to .77 the heartbeats follow it" \
    test "$(count event=heartbeat to=192.168.10.77 --since "$moved")" -ge 2
  stop_program
  stop_sim
  set_dev_addrs "$DEV_IP"
  ip -n "$WS" link del "$first"
  check "h: the second interface and its default route are gone again" \
    test -z "$(ip -n "$WS" route show default)" -a -z "$(ip -n "$WS" link show "$peer" 2>/dev/null)"
}

# The Windows program: the same cases with the program under Wine, and
# EXTRA_CASES that only it has.
EXTRA_CASES=""
[ "$PROGRAM" = "$BIN/vesk-hb.exe" ] && source "$HERE/wine.sh"

# --- run ----------------------------------------------------------------
if ! setup_net; then
  fail "network namespaces $WS and $DEV with a veth pair"
else
  pass "network namespaces $WS ($WS_IP) and $DEV ($DEV_IP), no route out"
  # VHB_E2E_CASES="d g" runs only those cases.
  for c in ${VHB_E2E_CASES:-a b_c d e f g h $EXTRA_CASES}; do "case_$c"; done
fi

# Clean up now, so that the root namespace can be checked.
SIMLOG=""
PROGLOG=""
cleanup
trap - EXIT
check "root namespace: host name unchanged" test "$(hostname)" = "$ROOT_HOSTNAME"
check "root namespace: /etc/hosts unchanged and not mounted over" \
  test "$(sha256sum /etc/hosts | cut -d' ' -f1)" = "$ROOT_HOSTS_SUM" \
  -a "$(grep -c ' /etc/hosts ' /proc/self/mountinfo)" = "$ROOT_HOSTS_MOUNTS"
check "root namespace: no veth left" test "$(ip -o link show type veth | wc -l)" = "$ROOT_VETHS"
check "root namespace: no namespace of this run left" \
  sh -c "! ip netns list | grep -qE '^($WS|$DEV)( |\$)'"
check "temporary files removed" test ! -e "$TMP"

if [ "$SKIPPED" -gt 0 ]; then
  echo "$PASSED passed, $FAILED failed, $SKIPPED skipped"
else
  echo "$PASSED passed, $FAILED failed"
fi
[ "$FAILED" -eq 0 ]
