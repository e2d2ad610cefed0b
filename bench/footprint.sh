#!/usr/bin/env bash
# The footprint check (not a test): the program with a settings file beside a
# minimal Qt tray sender (once plain, once with the program's two socket
# re-bindings per beat), a Python loop that re-binds a socket every beat and
# a plain C++ sender (once plain, once with the same re-bindings), 61 beats at
# 1 s to loopback, three repetitions per variant, in a network namespace of
# its own, then the heartbeat's instructions per beat and the
# application watch's per tick under callgrind.
#   bench/footprint.sh [BUILD_DIR|BIN_DIR] [BEATS] [REPETITIONS] [VARIANTS] [BEFORE_BIN_DIR]
# VARIANTS is a comma list of plain, mac, auto (empty: all). BEFORE_BIN_DIR, a
# folder with an earlier build's vesk-hb and libvhb-pdh.so, runs that program
# side by side too ("program before"). QT_NO_GLIB and QT_QPA_PLATFORM
# pass through to the Qt programs; the program itself runs Qt's own event loop
# unless QT_NO_GLIB is set (empty: the glib one).
set -euo pipefail
source "$(dirname "$0")/../scripts/lib/common.sh"
target="${1:-$VHB_BUILD}"
if [ -x "$target/vesk-hb" ]; then
  bin="$target"
else
  nice -n 5 cmake --build "$target" --target vesk-hb vhb-pdh vhb-min-sender vhb-min-qt-sender
  bin="$target/bin"
fi
# A workstation that searches for its device has a network interface up: the
# namespace gets one with the default route, so that "MAC Address" takes the
# path it takes there. Its peer is in the same namespace; nothing leaves.
vhb_isolated sh -c 'if ! { ip link add vhb-lan type veth peer name vhb-peer &&
    ip addr add 10.98.0.2/24 dev vhb-lan && ip link set vhb-lan up &&
    ip link set vhb-peer up && ip route add default via 10.98.0.1 dev vhb-lan; }; then
  echo "no interface besides loopback: the search falls back to the name look-up"
fi
exec "$@"' sh python3 "$VHB_ROOT/bench/footprint.py" "$bin" "${2:-61}" "${3:-3}" \
  "${4:-plain,mac,auto}" "${5:-}"
