#!/usr/bin/env bash
# Start-up cost of `active-app` and `clipboard` against the single-job tools a
# host could run instead (xdotool getactivewindow, xclip -o), paired run by run
# on one private Xvfb display with openbox, an active xterm and a clipboard owner.
# Prints the median wall times and the median of the paired ratios (tool / baseline).
# Usage: bench/startup.sh [path/to/kestrova-capture] [runs]
set -euo pipefail

tool=$(realpath "${1:-build/kestrova-capture}")
runs=${2:-300}
[ -x "$tool" ] || { echo "startup: no built tool at $tool" >&2; exit 1; }

work=$(mktemp -d /tmp/kestrova-bench-XXXXXX)
started=()
stop_all() {
  for ((i = ${#started[@]} - 1; i >= 0; i--)); do kill "${started[i]}" 2>/dev/null || true; done
  for pid in "${started[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap stop_all EXIT
trap 'exit 130' INT TERM
wait_for() {
  for _ in $(seq 200); do "$@" >/dev/null 2>&1 && return 0; sleep 0.05; done
  echo "startup: '$*' never succeeded" >&2
  exit 1
}

Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
started+=($!)
wait_for grep -q . "$work/display"
export DISPLAY=":$(head -n1 "$work/display")"
openbox >/dev/null 2>&1 &
started+=($!)
wait_for sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'
xterm -e sleep 3600 >/dev/null 2>&1 &
started+=($!)
wait_for xdotool search --onlyvisible --pid "${started[-1]}"
xdotool windowactivate "$(xdotool search --onlyvisible --pid "${started[-1]}" | head -n1)"
printf 'a clipboard text of a typical size, with a line feed\n' | xclip -quiet -selection clipboard -i >/dev/null 2>&1 &
started+=($!)
wait_for xclip -o -selection clipboard -t TARGETS

python3 - "$tool" "$runs" <<'PY'
import os, statistics, subprocess, sys, time

tool, runs = sys.argv[1], int(sys.argv[2])
pairs = [
    ("active-app", [tool, "active-app"], ["xdotool", "getactivewindow"]),
    ("clipboard", [tool, "clipboard"], ["xclip", "-o", "-selection", "clipboard"]),
]

def wall(argv):
    start = time.perf_counter_ns()
    done = subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    elapsed = time.perf_counter_ns() - start
    if done.returncode != 0:
        sys.exit(f"startup: {' '.join(argv)} failed with status {done.returncode}")
    return elapsed / 1e6

print(f"{runs} paired runs each on display {os.environ['DISPLAY']} (times in ms, medians)")
for name, ours, theirs in pairs:
    for _ in range(10):  # warm the page cache for both
        wall(ours), wall(theirs)
    mine, base, ratios = [], [], []
    for i in range(runs):
        # Alternate who goes first, so neither always meets a warmer system.
        if i % 2:
            b = wall(theirs); a = wall(ours)
        else:
            a = wall(ours); b = wall(theirs)
        mine.append(a); base.append(b); ratios.append(a / b)
    print(f"{name:>10}: {statistics.median(mine):6.2f}  vs {' '.join(theirs[:2]):<26}"
          f"{statistics.median(base):6.2f}   ratio {statistics.median(ratios):.2f}"
          f"  (quartiles {statistics.quantiles(ratios, n=4)[0]:.2f}..{statistics.quantiles(ratios, n=4)[2]:.2f})")
PY
