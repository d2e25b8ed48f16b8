# Sourced by the hardening checks: a private Xvfb display with openbox, an xterm in
# front and xclip owners, all ended on exit.

pids=()
work=$(mktemp -d)
# running PID: alive and not yet a zombie waiting to be reaped.
running() {
  local state
  state=$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | cut -c1)
  [ -n "$state" ] && [ "$state" != Z ]
}
stopPrivateDisplay() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  # A peer that does not end on TERM (an xterm was once seen stuck) is killed.
  for pid in "${pids[@]}"; do
    for _ in $(seq 20); do running "$pid" || break; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap stopPrivateDisplay EXIT

# startPrivateDisplay NAME [tcp]: sets DISPLAY, $xterm_pid (the xterm in front)
# and uses $work as scratch space. With tcp the server also listens on TCP,
# where a client cannot pass it descriptors. $screenSize: 800x600 unless set.
startPrivateDisplay() {
  local name=$1 listen=${2:-} peer window=""
  for peer in Xvfb openbox xterm xclip xprop; do
    command -v "$peer" >/dev/null || { echo "$name: $peer not found" >&2; return 1; }
  done
  # -displayfd picks a free display, so parallel runs never collide.
  if [ "$listen" = tcp ]; then listen=-listen; else listen=-nolisten; fi
  Xvfb -displayfd 3 -screen 0 "${screenSize:-800x600}x24" "$listen" tcp 3>"$work/display" 2>"$work/xvfb.log" &
  pids+=($!)
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
  [ -s "$work/display" ] || { echo "$name: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; return 1; }
  export DISPLAY=":$(head -n1 "$work/display")"

  # A busy machine may take a while before the server answers its first client.
  for _ in $(seq 100); do xprop -root >/dev/null 2>&1 && break; sleep 0.1; done
  startWindowManager "$name" || return 1
  xterm -title kestrova-hardening -geometry 80x24+10+10 \
    -e sh -c 'echo "The quick brown fox jumps over the lazy dog"; sleep 3600' 2>"$work/xterm.log" &
  xterm_pid=$!
  pids+=("$xterm_pid")
  for _ in $(seq 300); do
    window=$(xprop -root _NET_ACTIVE_WINDOW 2>/dev/null | grep -o '0x[0-9a-f]*' | head -n1 || true)
    [ -n "$window" ] && [ "$window" != "0x0" ] && return 0
    sleep 0.1
  done
  echo "$name: the xterm never became active" >&2
  cat "$work/openbox.log" >&2
  return 1
}

# startWindowManager NAME: openbox, running and managing the root. A window
# mapped before it runs is adopted but never focused. One that gave up on the
# display at start is started again (seen once on a loaded CI machine).
startWindowManager() {
  local name=$1 attempt manager
  for attempt in 1 2 3; do
    openbox >>"$work/openbox.log" 2>&1 &
    manager=$!
    pids+=("$manager")
    for _ in $(seq 100); do
      xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
      kill -0 "$manager" 2>/dev/null || break
      sleep 0.1
    done
  done
  echo "$name: openbox never took the display" >&2
  cat "$work/openbox.log" "$work/xvfb.log" >&2
  return 1
}

# ownClipboard FILE [TARGET]: an xclip owner serving FILE, once it answers.
ownClipboard() {
  local file=$1 target=${2:-UTF8_STRING}
  xclip -selection clipboard -t "$target" -quiet -i "$file" 2>>"$work/xclip.log" &
  pids+=($!)
  for _ in $(seq 100); do
    [ "$(xclip -o -selection clipboard -t TARGETS 2>/dev/null | tr '\n' ' ')" = "TARGETS $target " ] && return 0
    sleep 0.1
  done
  echo "xclip never took the clipboard for $target" >&2
  return 1
}

# copyTool BUILT: runs a private copy of the tool (and its recognizer module),
# so that a process still running it afterwards can only be one of ours. Sets
# $tool, and notes the segments that are there before any run.
copyTool() {
  command -v ipcs >/dev/null || { echo "ipcs not found: leftover segments cannot be counted" >&2; return 1; }
  ipcs -m -p | awk '$1 ~ /^[0-9]+$/ { print $1 }' >"$work/segments-before"
  cp "$1" "$work/kestrova-capture"
  [ -e "$(dirname "$1")/kestrova-ocr.so" ] && cp "$(dirname "$1")/kestrova-ocr.so" "$work/"
  tool="$work/kestrova-capture"
}

# leftBehind PIDS_FILE: sets $left (processes still running $tool) and
# $segments (shared-memory segments created by the runs listed in PIDS_FILE).
leftBehind() {
  local entry
  left=0
  for entry in /proc/[0-9]*; do
    [ "$(readlink "$entry/exe" 2>/dev/null)" = "$tool" ] && left=$((left + 1))
  done
  # ipcs -m -p: shmid, owner, creator pid, last pid. A segment the server has
  # not yet let go of, though its run has ended, goes within moments; a leaked one stays.
  # Process ids come round again (32768 of them): a segment some earlier
  # program left (a run killed by KILL) may name a creator whose id a run of
  # ours has since had, and is no run's of ours.
  for _ in $(seq 30); do
    segments=$(ipcs -m -p | awk 'FILENAME == ARGV[1] { before[$1] = 1; next }
                                 FILENAME == ARGV[2] { ours[$1] = 1; next }
                                 ($3 in ours) && !($1 in before) { n++ }
                                 END { print n + 0 }' "$work/segments-before" "$1" -)
    [ "$segments" -eq 0 ] && break
    sleep 0.1
  done
}
