#!/usr/bin/env bash
# Memory under a discovery-reply flood with the heartbeat stopped (not a
# test), in a loopback-only network namespace.
#   bench/reply_flood.sh [BUILD_DIR] [REPLIES]
set -euo pipefail
source "$(dirname "$0")/../scripts/lib/common.sh"
build="${1:-$VHB_BUILD}"
cmake --build "$build" --target vhb-reply-flood >/dev/null
vhb_isolated "$build/bin/vhb-reply-flood" "${2:-100000}"
