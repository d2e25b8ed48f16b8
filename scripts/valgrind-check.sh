#!/usr/bin/env bash
# Runs each of the four commands under valgrind memcheck against a private
# Xvfb display (openbox, an xterm, an xclip owner holding a text large enough
# for an INCR transfer, then one offering Latin-1 only) and fails on any memory error, any block definitely
# or indirectly lost, a wrong output, or a run past its time bound.
# Usage: scripts/valgrind-check.sh [path/to/kestrova-capture]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
tool=$(realpath "${1:-$root/build/kestrova-capture}")
bound=${VALGRIND_BOUND:-600}  # seconds per command; recognition under memcheck is slow
for peer in valgrind Xvfb openbox xterm xclip xprop timeout; do
  command -v "$peer" >/dev/null || { echo "valgrind-check: $peer not found" >&2; exit 1; }
done
[ -x "$tool" ] || { echo "valgrind-check: no tool at $tool" >&2; exit 1; }

work=$(mktemp -d)
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# -displayfd picks a free display, so parallel runs never collide.
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "valgrind-check: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"

openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
# A window mapped before the window manager runs is adopted but never focused.
for _ in $(seq 300); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break; sleep 0.1; done
xterm -title kestrova-valgrind -geometry 80x24+10+10 -e sh -c 'echo "The quick brown fox jumps over the lazy dog"; sleep 3600' 2>"$work/xterm.log" &
xterm_pid=$!
pids+=("$xterm_pid")

# A text past xclip's single-request size, so the transfer goes by INCR, with
# multibyte characters straddling chunk edges.
{
  printf 'caf\xc3\xa9 \xe6\xb0\xb4 \xf0\x9f\x98\x80\n'
  head -c 5000000 /dev/zero | tr '\0' 'x'
  printf '\nend \xc3\xa9\xe2\x82\xac'
} >"$work/clipboard.txt"
xclip -selection clipboard -quiet -i "$work/clipboard.txt" 2>"$work/xclip.log" &
pids+=($!)

active_window() { xprop -root _NET_ACTIVE_WINDOW 2>/dev/null | grep -o '0x[0-9a-f]*' | head -n1; }
for _ in $(seq 300); do
  window=$(active_window || true)
  [ -n "$window" ] && [ "$window" != "0x0" ] && break
  sleep 0.1
done
[ -n "${window:-}" ] && [ "$window" != "0x0" ] ||
  { echo "valgrind-check: the xterm never became active" >&2; cat "$work/openbox.log" >&2; exit 1; }

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
  local errors definite indirect possible reachable
  errors=$(sed -n 's/.*ERROR SUMMARY: \([0-9,]*\) errors.*/\1/p' "$log" | tail -n1)
  definite=$(sed -n 's/.*definitely lost: \([0-9,]*\) bytes.*/\1/p' "$log" | tail -n1)
  indirect=$(sed -n 's/.*indirectly lost: \([0-9,]*\) bytes.*/\1/p' "$log" | tail -n1)
  possible=$(sed -n 's/.*possibly lost: \([0-9,]*\) bytes.*/\1/p' "$log" | tail -n1)
  reachable=$(sed -n 's/.*still reachable: \([0-9,]*\) bytes.*/\1/p' "$log" | tail -n1)
  echo "valgrind $name: status $status, ${errors:-?} errors, definitely lost ${definite:-0} B," \
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
xclip -selection clipboard -t STRING -quiet -i "$work/latin1.txt" 2>"$work/xclip-latin1.log" &
pids+=($!)
for _ in $(seq 100); do
  [ "$(xclip -o -selection clipboard -t TARGETS 2>/dev/null | tr '\n' ' ')" = "TARGETS STRING " ] && break
  sleep 0.1
done
check clipboard-latin1 "$work/clipboard-latin1.expected" clipboard

[ "$failures" -eq 0 ] || exit 1
