#!/usr/bin/env bash
# The demo: a private virtual display (Xvfb) with openbox, an xterm showing a
# few lines of text and xclip holding a clipboard text; runs the four commands
# against it and shows what each printed. Stops everything it started, always.
# Usage: scripts/demo.sh [path/to/kestrova-capture]
set -euo pipefail

tool=$(realpath "${1:-build/kestrova-capture}")
[ -x "$tool" ] || { echo "demo: no built tool at $tool (run: make build)" >&2; exit 1; }
for peer in Xvfb openbox xterm xclip xdotool xprop; do
  command -v "$peer" >/dev/null || { echo "demo: $peer is missing (run: scripts/install-deps.sh)" >&2; exit 1; }
done

work=$(mktemp -d /tmp/kestrova-demo-XXXXXX)
started=()
stop_all() {
  local pid
  for ((i = ${#started[@]} - 1; i >= 0; i--)); do
    pid=${started[i]}
    kill "$pid" 2>/dev/null || true
  done
  for pid in "${started[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap stop_all EXIT
trap 'exit 130' INT TERM

# Polls a command for up to ten seconds.
wait_for() {
  local what=$1; shift
  for _ in $(seq 200); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.05
  done
  echo "demo: $what did not come up" >&2
  exit 1
}

# -displayfd picks a free display number and writes it once the server is ready.
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
started+=($!)
wait_for "Xvfb" grep -q . "$work/display"
export DISPLAY=":$(head -n1 "$work/display")"

openbox >/dev/null 2>&1 &
started+=($!)
wait_for "openbox" sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'

cat >"$work/sample.txt" <<'TEXT'
Kestrova capture demo

The quick brown fox jumps over the lazy dog.
Meeting notes: ship the Linux desktop on Friday.
Total due: 42 invoices, 1337 euros.
TEXT
xterm -T "kestrova demo" -geometry 90x20+200+150 -fa "DejaVu Sans Mono" -fs 16 -hold -e cat "$work/sample.txt" \
  >/dev/null 2>&1 &
xterm_pid=$!
started+=("$xterm_pid")
wait_for "the xterm" xdotool search --onlyvisible --pid "$xterm_pid"

printf 'Hello from the demo clipboard: café, 水, 😀' >"$work/clipboard.txt"
xclip -quiet -selection clipboard -i <"$work/clipboard.txt" >/dev/null 2>&1 &
started+=($!)
wait_for "the clipboard owner" xclip -o -selection clipboard -t TARGETS

# A second xterm takes the focus, so that `activate` has something to do.
xterm -T "another window" -geometry 60x10+700+500 -e sleep 600 >/dev/null 2>&1 &
started+=($!)
wait_for "the second xterm" xdotool search --onlyvisible --pid "${started[-1]}"

show() {
  local status=0
  "$tool" "$@" >"$work/out" 2>"$work/err" || status=$?
  echo "\$ kestrova-capture $*    (exit status $status)"
  [ -s "$work/out" ] && sed 's/^/  stdout | /' "$work/out"
  [ -s "$work/err" ] && sed 's/^/  stderr | /' "$work/err"
  echo
}

echo "Display $DISPLAY: openbox, an xterm (pid $xterm_pid) showing sample text, xclip owning the clipboard."
echo
show active-app
show clipboard
show activate "$xterm_pid"
echo "  active window is now: $(xdotool getactivewindow getwindowname)"
echo
show active-app
show screenshot
