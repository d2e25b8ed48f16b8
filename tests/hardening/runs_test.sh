#!/usr/bin/env bash
# A host that kills its runs (clipboard reads mid-transfer, screenshots in
# their first 20 ms) and one that polls: every polled answer the same, and no
# process or shared-memory segment outlives any run. Screenshots also over TCP,
# where the image comes through a System V segment, and in little memory.
# Usage: runs_test.sh path/to/kestrova-capture path/to/x_peer [runs]
set -euo pipefail
runs=${3:-300}
source "$(dirname "$0")/../../scripts/private-display.sh"
screenSize=1920x1080 startPrivateDisplay runs tcp
copyTool "$(realpath "$1")"
: >"$work/pids"

# killAfter MAX_MS ARGS...: one run, killed by TERM, INT or KILL after 0 to MAX_MS ms.
# Segments are counted for the runs TERM and INT end, which the tool holds
# back from creating a System V segment to marking it for removal: KILL,
# which nothing holds back, may land between those two system calls (under
# the sanitizers, whose shmat marks the whole segment's shadow, often enough
# to be seen) and leave the segment, as it would any program's.
signals=(TERM INT KILL)
killAfter() {
  local max=$1 pid signal=${signals[RANDOM % 3]}
  shift
  env --default-signal=INT "$tool" "$@" >/dev/null 2>&1 &  # background jobs ignore INT otherwise
  pid=$!
  [ "$signal" = KILL ] || echo "$pid" >>"$work/pids"
  sleep "$(printf '0.%03d' $((RANDOM % max)))"
  kill -s "$signal" "$pid" 2>/dev/null || true
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
# poll EXPECTED COMMAND...: one run, which must end well and print EXPECTED (a record if empty) and nothing else.
poll() {
  local expected=$1 out
  shift
  if ! out=$("$@" 2>"$work/err") || [ -s "$work/err" ] || [ "${expected:-$out}" != "$out" ] ||
    [[ -z $expected && $out != '{'*'"text": '* ]]; then
    failures=$((failures + 1))
    echo "runs: $* failed: ${out:0:200} / $(head -c 200 "$work/err")" >&2
  fi
}
for _ in $(seq "$runs"); do poll XTerm "$tool" active-app && poll 'polled ✓ text' "$tool" clipboard; done
for _ in $(seq 5); do poll '' "$tool" screenshot && DISPLAY=localhost$DISPLAY poll '' "$tool" screenshot; done
# In 300 MB of address space a full screen is read; in less, recognition that cannot get memory is one
# line of its own and the record still comes. (The sanitizers' shadow memory needs all of it.)
# grep reads all of it: with -q it may stop early, and ldd's broken pipe would
# fail the pipeline (pipefail) as if no sanitizer were linked.
if ! ldd "$tool" | grep libasan >/dev/null; then
  poll '' prlimit --as=300000000 "$tool" screenshot
  out=$(prlimit --as=80000000 "$tool" screenshot 2>"$work/err") && [[ $out == '{'* ]] &&
    [ "$(grep -c . "$work/err")" -le 1 ] && ! grep -qv '^OCR error: ' "$work/err" || failures=$((failures + 1))
fi

leftBehind "$work/pids"
echo "runs: $runs killed and $runs polled of each, $failures failed, $left processes and $segments shared-memory segments left"
[ "$failures" -eq 0 ] && [ "$left" -eq 0 ] && [ "$segments" -eq 0 ]
