#!/usr/bin/env bash
# The four commands under valgrind memcheck against a private display: fails on any
# memory error, block definitely or indirectly lost, wrong output or overrun bound.
# Usage: scripts/valgrind-check.sh [path/to/kestrova-capture]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
tool=$(realpath "${1:-$root/build/kestrova-capture}")
bound=${VALGRIND_BOUND:-600}  # seconds per command; recognition under memcheck is slow
command -v valgrind >/dev/null || { echo "valgrind-check: valgrind not found" >&2; exit 1; }
[ -x "$tool" ] || { echo "valgrind-check: no tool at $tool" >&2; exit 1; }

source "$root/scripts/private-display.sh"
startPrivateDisplay valgrind-check

# A text past xclip's single-request size, so the transfer goes by INCR, with
# multibyte characters straddling chunk edges.
{
  printf 'caf\xc3\xa9 \xe6\xb0\xb4 \xf0\x9f\x98\x80\n'
  head -c 5000000 /dev/zero | tr '\0' 'x'
  printf '\nend \xc3\xa9\xe2\x82\xac'
} >"$work/clipboard.txt"
ownClipboard "$work/clipboard.txt"

failures=0
# check NAME EXPECTED-STDOUT-FILE ARGS...: an empty EXPECTED accepts any non-empty stdout.
check() {
  local name=$1 expected=$2 started ended status log="$work/$1.valgrind"
  shift 2
  started=$(date +%s)
  set +e
  timeout --kill-after=10 "$bound" valgrind --tool=memcheck --error-exitcode=99 --leak-check=full \
    --show-leak-kinds=definite,indirect --errors-for-leak-kinds=definite,indirect \
    --suppressions="$root/tests/valgrind.supp" --num-callers=30 --log-file="$log" \
    "$tool" "$@" >"$work/$name.out" 2>"$work/$name.err"
  status=$?
  set -e
  ended=$(date +%s)
  local errors suppressed definite indirect possible reachable
  errors=$(sed -n 's/.*ERROR SUMMARY: \([0-9,]*\) errors.*/\1/p' "$log" | tail -n1)
  suppressed=$(sed -n 's/.*ERROR SUMMARY:.*suppressed: \([0-9,]*\) from.*/\1/p' "$log" | tail -n1)
  definite=$(sed -n 's/.*definitely lost: \([0-9,]*\) bytes.*/\1/p' "$log" | tail -n1)
  indirect=$(sed -n 's/.*indirectly lost: \([0-9,]*\) bytes.*/\1/p' "$log" | tail -n1)
  possible=$(sed -n 's/.*possibly lost: \([0-9,]*\) bytes.*/\1/p' "$log" | tail -n1)
  reachable=$(sed -n 's/.*still reachable: \([0-9,]*\) bytes.*/\1/p' "$log" | tail -n1)
  echo "valgrind $name: status $status, ${errors:-?} errors (${suppressed:-0} suppressed), definitely lost ${definite:-0} B," \
    "indirectly lost ${indirect:-0} B, possibly lost ${possible:-0} B, still reachable ${reachable:-0} B," \
    "$((ended - started)) s; stdout $(wc -c <"$work/$name.out") B: $(head -c 60 "$work/$name.out" | tr '\n' ' ')"
  local wrong=""
  if [ "$status" -ne 0 ]; then
    wrong="exit status $status"
  elif [ -n "$expected" ] && ! cmp -s "$expected" "$work/$name.out"; then
    wrong="stdout differs from what the desktop holds"
  elif [ -z "$expected" ] && [ ! -s "$work/$name.out" ]; then
    wrong="no output"
  fi
  if [ -n "$wrong" ]; then
    echo "valgrind $name: FAILED: $wrong" >&2
    head -c 2000 "$work/$name.err" >&2
    grep -A25 -E '^==[0-9]+== (Invalid|Conditional|Use of|Syscall|Mismatched|[0-9,]+ bytes in)' "$log" | head -120 >&2 || true
    failures=$((failures + 1))
  fi
}

{ cat "$work/clipboard.txt"; echo; } >"$work/clipboard.expected"
echo ok >"$work/activate.expected"
check active-app "" active-app
check clipboard "$work/clipboard.expected" clipboard
check activate "$work/activate.expected" activate "$xterm_pid"
check screenshot "" screenshot
grep -q '"text"' "$work/screenshot.out" || { echo "valgrind screenshot: FAILED: no record" >&2; failures=$((failures + 1)); }

# An owner that offers only STRING: the Latin-1 conversion path.
printf 'caf\xe9 \xff\xa0end' >"$work/latin1.txt"
printf 'caf\xc3\xa9 \xc3\xbf\xc2\xa0end\n' >"$work/clipboard-latin1.expected"
ownClipboard "$work/latin1.txt" STRING
check clipboard-latin1 "$work/clipboard-latin1.expected" clipboard

[ "$failures" -eq 0 ] || exit 1
