#!/usr/bin/env bash
# A host that kills its runs (clipboard reads mid-transfer, screenshots in
# their first 20 ms) and one that polls: every polled answer the same, and no
# process or shared-memory segment outlives any run. Screenshots also over TCP,
# where the image comes through a System V segment.
# Usage: runs_test.sh path/to/kestrova-capture path/to/x_peer [runs]
set -euo pipefail
runs=${3:-300}
source "$(dirname "$0")/../../scripts/private-display.sh"
startPrivateDisplay runs tcp
copyTool "$(realpath "$1")"
: >"$work/pids"

# killAfter MAX_MS ARGS...: one run, killed by TERM, INT or KILL after 0 to MAX_MS ms.
signals=(TERM INT KILL)
killAfter() {
  local max=$1 pid
  shift
  env --default-signal=INT "$tool" "$@" >/dev/null 2>&1 &  # background jobs ignore INT otherwise
  pid=$!
  echo "$pid" >>"$work/pids"
  sleep "$(printf '0.%03d' $((RANDOM % max)))"
  kill -s "${signals[RANDOM % 3]}" "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}
# Chunks 20 ms apart: a read takes seconds, so every kill lands mid-transfer.
"$2" incr 1000 20 finish >/dev/null 2>&1 &
owner=$!
pids+=("$owner")
for _ in $(seq 100); do xclip -o -selection clipboard -t TARGETS >/dev/null 2>&1 && break; sleep 0.1; done
for _ in $(seq "$runs"); do killAfter 100 clipboard; done
kill "$owner" && wait "$owner" || true
DISPLAY=localhost$DISPLAY; for _ in $(seq "$runs"); do killAfter 20 screenshot; done; DISPLAY=${DISPLAY#localhost}

printf 'polled \xe2\x9c\x93 text' >"$work/clipboard.txt"
ownClipboard "$work/clipboard.txt"
failures=0
# poll EXPECTED ARGS...: one run, which must print EXPECTED (for screenshot: a record) and nothing else.
poll() {
  local expected=$1 pid status=0
  shift
  "$tool" "$@" >"$work/out" 2>"$work/err" &
  pid=$!
  echo "$pid" >>"$work/pids"
  wait "$pid" || status=$?
  if [ "$status" -ne 0 ] || [ -s "$work/err" ] || { [ -n "$expected" ] && [ "$(cat "$work/out")" != "$expected" ]; } ||
    { [ -z "$expected" ] && ! grep -q '"text"' "$work/out"; }; then
    failures=$((failures + 1))
    echo "runs: $* failed with status $status: $(head -c 200 "$work/out") / $(head -c 200 "$work/err")" >&2
  fi
}
for _ in $(seq "$runs"); do poll XTerm active-app && poll 'polled ✓ text' clipboard; done
for _ in $(seq 5); do poll '' screenshot && DISPLAY=localhost$DISPLAY poll '' screenshot; done

leftBehind "$work/pids"
echo "runs: $runs killed and $runs polled of each, $failures failed, $left processes and $segments shared-memory segments left"
[ "$failures" -eq 0 ] && [ "$left" -eq 0 ] && [ "$segments" -eq 0 ]
