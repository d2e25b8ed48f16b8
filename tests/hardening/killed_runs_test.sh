#!/usr/bin/env bash
# A host that kills its runs: screenshots killed at random moments in their
# first 20 ms, clipboard reads killed in the middle of a slow transfer. No
# shared-memory segment and no process may outlive them.
# Usage: killed_runs_test.sh path/to/kestrova-capture path/to/incr_owner [runs]
set -euo pipefail

built=$(realpath "$1")
owner=$(realpath "$2")
runs=${3:-300}
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/scripts/private-display.sh"
startPrivateDisplay killed-runs

copyTool "$built"
: >"$work/pids"

signals=(TERM INT KILL)
# killAfter MAX_MS ARGS...: starts one run and kills it after 0 to MAX_MS ms.
killAfter() {
  local max=$1 pid
  shift
  # A script's background jobs ignore SIGINT unless told otherwise.
  env --default-signal=INT "$tool" "$@" >/dev/null 2>&1 &
  pid=$!
  echo "$pid" >>"$work/pids"
  sleep "$(printf '0.%03d' $((RANDOM % max)))"
  kill -s "${signals[RANDOM % 3]}" "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

for _ in $(seq "$runs"); do killAfter 20 screenshot; done
echo "killed-runs: $runs screenshots killed in their first 20 ms"

# Chunks 20 ms apart: a read takes seconds, so every kill lands mid-transfer.
"$owner" 1000 20 finish >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do xclip -o -selection clipboard -t TARGETS >/dev/null 2>&1 && break; sleep 0.1; done
for _ in $(seq "$runs"); do killAfter 100 clipboard; done
echo "killed-runs: $runs clipboard reads killed mid-transfer"

leftBehind "$work/pids"
echo "killed-runs: $left processes left, $segments shared-memory segments left"
[ "$left" -eq 0 ] && [ "$segments" -eq 0 ]
