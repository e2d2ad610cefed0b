#!/usr/bin/env bash
# The footprint check (not a test): the program offscreen with a heartbeat at
# 1 s to loopback for a minute, beside a minimal sender, in a loopback-only
# network namespace.  Usage: bench/footprint.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
source "$(dirname "$0")/../scripts/lib/common.sh"
build="${1:-$VHB_BUILD}"
cmake --build "$build" --target vesk-hb vhb-min-sender
vhb_isolated python3 "$VHB_ROOT/bench/footprint.py" "$build/bin" "${2:-60}"
