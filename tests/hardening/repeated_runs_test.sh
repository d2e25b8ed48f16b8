#!/usr/bin/env bash
# A host polling in the background: 1000 runs each of active-app and clipboard and a few
# screenshots; every answer the same, no process or shared-memory segment left behind.
# Usage: repeated_runs_test.sh path/to/kestrova-capture [runs] [screenshots]
set -euo pipefail

built=$(realpath "$1")
runs=${2:-1000}
screenshots=${3:-20}
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/scripts/private-display.sh"
startPrivateDisplay repeated-runs

copyTool "$built"

printf 'polled \xe2\x9c\x93 text' >"$work/clipboard.txt"
ownClipboard "$work/clipboard.txt"
printf 'polled \xe2\x9c\x93 text\n' >"$work/clipboard.expected"
printf 'XTerm\n' >"$work/active-app.expected"

: >"$work/pids"
failures=0
# runOnce NAME ARGS...: one run; its stdout must equal NAME.expected, or be a record for screenshot.
runOnce() {
  local name=$1 pid status=0
  shift
  "$tool" "$@" >"$work/out" 2>"$work/err" &
  pid=$!
  echo "$pid" >>"$work/pids"
  wait "$pid" || status=$?
  if [ "$status" -ne 0 ] || [ -s "$work/err" ] ||
    { [ "$name" = screenshot ] && ! grep -q '"text"' "$work/out"; } ||
    { [ "$name" != screenshot ] && ! cmp -s "$work/out" "$work/$name.expected"; }; then
    failures=$((failures + 1))
    [ "$failures" -le 3 ] && echo "repeated-runs: $name run failed with status $status:" \
      "$(head -c 200 "$work/out") / $(head -c 200 "$work/err")" >&2
  fi
  return 0
}

for name in active-app clipboard; do
  started=$(date +%s%N)
  for _ in $(seq "$runs"); do runOnce "$name" "$name"; done
  ended=$(date +%s%N)
  echo "repeated-runs: $runs x $name in $(((ended - started) / 1000000)) ms"
done
started=$(date +%s%N)
for _ in $(seq "$screenshots"); do runOnce screenshot screenshot; done
ended=$(date +%s%N)
echo "repeated-runs: $screenshots x screenshot in $(((ended - started) / 1000000)) ms"

leftBehind "$work/pids"
echo "repeated-runs: $failures failed runs, $left processes left, $segments shared-memory segments left"
[ "$failures" -eq 0 ] && [ "$left" -eq 0 ] && [ "$segments" -eq 0 ]
