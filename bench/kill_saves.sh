#!/usr/bin/env bash
# The program killed (SIGKILL) at random moments around its start-up save,
# N times, in a loopback-only network namespace (not a test). Prints how many
# runs left a temporary file behind at that moment, how many are left at the
# end, and whether the settings file was ever found empty or incomplete.
#   bench/kill_saves.sh [BUILD_DIR] [RUNS]
set -euo pipefail
source "$(dirname "$0")/../scripts/lib/common.sh"
build="${1:-$VHB_BUILD}"
runs="${2:-100}"
cmake --build "$build" --target vesk-hb >/dev/null
dir="$(mktemp -d /tmp/vhb-kill.XXXXXX)"
trap 'rm -rf "$dir"' EXIT
cp "$build/bin/vesk-hb" "$dir/"
printf '[NETWORK]\nIP=127.0.0.1\nPORT=9\nINTERVAL=1\n' >"$dir/vesk-hb.Ini"
vhb_isolated env QT_QPA_PLATFORM=offscreen HOME="$dir" TMPDIR="$dir" XDG_RUNTIME_DIR="$dir" \
  bash -c '
  dir=$1 runs=$2 debris=0 broken=0
  for i in $(seq "$runs"); do
    "$dir/vesk-hb" >/dev/null 2>&1 &
    pid=$!
    # The start-up save comes about a second after the start.
    sleep "$(awk -v s=$RANDOM "BEGIN { printf \"%.3f\", 0.9 + (s % 500) / 1000 }")"
    kill -KILL "$pid"; wait "$pid" 2>/dev/null || true
    ls "$dir" | grep -q "^vesk-hb\.Ini\.tmp" && debris=$((debris + 1))
    keys=$(grep -cE "^(PORT|IP|INTERVAL)=" "$dir/vesk-hb.Ini" || true)
    [ "$keys" -eq 3 ] || broken=$((broken + 1))
  done
  echo "runs $runs; runs that left a temporary file at the kill: $debris;" \
       "temporary files left at the end: $(ls "$dir" | grep -c "^vesk-hb\.Ini\.tmp" || true);" \
       "settings file empty or incomplete after a kill: $broken times"
' sh "$dir" "$runs"
