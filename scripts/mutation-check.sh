#!/usr/bin/env bash
# What the test suite catches: plants each fault of scripts/mutations.txt, one
# at a time, in a scratch copy of the tree, rebuilds (only what the fault
# touches) and runs the suite. A fault is caught when the build or a test
# fails. Run by hand: a full run takes long, so it is no part of `make test`.
#
# Usage: scripts/mutation-check.sh [options] [fault-id...]
#   --results FILE  where outcomes are recorded; faults recorded there are
#                   skipped, so an interrupted run resumes
#                   (default: $MUTATION_DIR/results.txt)
#   --compare FILE  name every fault FILE records as caught that is not caught
#                   now, and fail if there is one
#                   (default: scripts/mutation-baseline.txt)
#   --quick         the build and each fault's first tests and checks only;
#                   a fault they miss stays unrecorded, for a later full run
#   --redo          run the chosen faults again even if recorded
#   --applies       only say whether each fault still applies; builds nothing
#   --table         only print the table of what is recorded
# Environment: MUTATION_DIR (scratch tree and build; default build-mutation),
# JOBS (ctest and build jobs; default 2), TEST_TIMEOUT (seconds a test without
# its own timeout may take; default 300).
#
# For each fault: the scratch tree is brought back to the working tree, the
# fault planted, the tree built; then its `first:` tests run, then its extra
# `checks:` (valgrind), then the rest of the suite (or of its `scope:`), each
# stopping at the first failure. Tests that fail without any fault (checked
# once per state of the tree) are left out of every run, and said so. Tests
# that fail and then pass when run again are no catch: such a fault is
# recorded as unsure. The table: fault, file, kind, outcome and which test
# (or build target, or valgrind-check command) caught it.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
faults=$root/scripts/mutations.txt
dir=${MUTATION_DIR:-$root/build-mutation}
jobs=${JOBS:-2}
test_timeout=${TEST_TIMEOUT:-300}
results=$dir/results.txt
compare=$root/scripts/mutation-baseline.txt
mode=full
redo=0
chosen=()
while [ $# -gt 0 ]; do
  case $1 in
    --results) results=$(realpath -m "$2"); shift 2 ;;
    --compare) compare=$(realpath -m "$2"); shift 2 ;;
    --quick) mode=quick; shift ;;
    --redo) redo=1; shift ;;
    --applies) mode=applies; shift ;;
    --table) mode=table; shift ;;
    -h | --help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    -*) echo "mutation-check: unknown option $1" >&2; exit 2 ;;
    *) chosen+=("$1"); shift ;;
  esac
done
tree=$dir/tree
build=$dir/build
logs=$dir/logs
# The machine is shared: everything here, builds and tests, at the lowest priority.
renice -n 19 $$ >/dev/null 2>&1 || true

# The parts that handle text: parsing the fault list, planting a fault,
# syncing the scratch tree and printing the table.
helper() {
  python3 - "$@" <<'PY'
import hashlib, os, re, subprocess, sys

SEP = "\x1f"

def parse(path):
    faults, current, last = [], None, None
    for number, line in enumerate(open(path, encoding="utf-8").read().split("\n"), 1):
        if line.startswith("[") and line.rstrip().endswith("]"):
            current = {"id": line.strip()[1:-1], "line": number, "-": [], "+": []}
            faults.append(current)
            last = None
        elif current is None or not line.strip() or line.startswith("#"):
            last = None
        elif line[:2] in ("- ", "+ ") or line in ("-", "+"):
            current[line[0]].append(line[2:])
        elif re.match(r"^(file|kind|first|scope|checks):", line):
            key, value = line.split(":", 1)
            current[key] = value.strip()
        else:
            sys.exit(f"{path}:{number}: cannot read: {line}")
    seen = set()
    for fault in faults:
        for key in ("file", "kind"):
            if key not in fault or not fault["-"]:
                sys.exit(f"{path}:{fault['line']}: fault {fault['id']} needs file, kind and a '-' line")
        if fault["id"] in seen:
            sys.exit(f"{path}:{fault['line']}: fault id {fault['id']} used twice")
        seen.add(fault["id"])
        fault["old"] = "\n".join(fault["-"])
        fault["new"] = "\n".join(fault["+"])
    return faults

def tracked(top):
    out = subprocess.run(["git", "-C", top, "ls-files", "-z"], check=True, capture_output=True).stdout
    return [p for p in out.decode().split("\0") if p and os.path.isfile(os.path.join(top, p))]

command, args = sys.argv[1], sys.argv[2:]
if command == "list":
    for f in parse(args[0]):
        print(SEP.join([f["id"], f["file"], f["kind"], f.get("first", ""), f.get("scope", ""), f.get("checks", "")]))
elif command == "plant":  # FAULTS ID SOURCE-TOP TARGET-TOP: exit 3 when the fault no longer applies
    fault = next(f for f in parse(args[0]) if f["id"] == args[1])
    try:
        text = open(os.path.join(args[2], fault["file"]), encoding="utf-8").read()
    except FileNotFoundError:
        print(f"{fault['file']} does not exist"); sys.exit(3)
    count = text.count(fault["old"])
    if count != 1:
        print(f"its text occurs {count} times in {fault['file']}, not once"); sys.exit(3)
    if len(args) > 3:
        with open(os.path.join(args[3], fault["file"]), "w", encoding="utf-8") as out:
            out.write(text.replace(fault["old"], fault["new"]))
elif command == "sync":  # SOURCE-TOP TARGET-TOP: rewrites (new mtime) only files that differ
    changed = 0
    for path in tracked(args[0]):
        data = open(os.path.join(args[0], path), "rb").read()
        target = os.path.join(args[1], path)
        try:
            same = open(target, "rb").read() == data
        except FileNotFoundError:
            same = False
        if not same:
            os.makedirs(os.path.dirname(target), exist_ok=True)
            with open(target, "wb") as out:
                out.write(data)
            os.chmod(target, os.stat(os.path.join(args[0], path)).st_mode)
            changed += 1
    print(changed)
elif command == "hash":  # TOP: the state of the tracked files the build and tests read
    digest = hashlib.sha256()
    for path in sorted(p for p in tracked(args[0]) if not p.startswith("scripts/mutation")):
        digest.update(path.encode() + b"\0" + open(os.path.join(args[0], path), "rb").read())
    print(digest.hexdigest())
elif command == "table":  # FAULTS RESULTS [COMPARE]
    order = [f["id"] for f in parse(args[0])]
    def load(path):
        rows = {}
        if path and os.path.isfile(path):
            for line in open(path, encoding="utf-8"):
                if line.startswith("#") or not line.strip():
                    continue
                fields = line.rstrip("\n").split("\t")
                rows[fields[0]] = fields
        return rows
    now = load(args[1])
    before = load(args[2]) if len(args) > 2 else {}
    print(f"{'fault':30} {'file':44} {'kind':22} outcome")
    for fid in order + [i for i in now if i not in order]:
        if fid not in now:
            continue
        _, path, kind, outcome, by, seconds = now[fid]
        shown = {"caught": f"caught by {by}", "unsure": f"unsure: {by}"}.get(outcome, outcome)
        print(f"{fid:30} {path:44} {kind:22} {shown} [{seconds} s]")
    caught = sum(1 for r in now.values() if r[3] == "caught")
    survived = sum(1 for r in now.values() if r[3] == "survived")
    unsure = sum(1 for r in now.values() if r[3] == "unsure")
    pending = [i for i in order if i not in now]
    print(f"\n{len(order)} faults: {caught} caught, {survived} survived, {unsure} unsure, {len(pending)} not recorded"
          + (f" ({', '.join(pending[:8])}{', ...' if len(pending) > 8 else ''})" if pending else ""))
    if before:
        lost = [i for i, r in before.items() if r[3] == "caught" and i in now and now[i][3] != "caught"]
        unchecked = [i for i, r in before.items() if r[3] == "caught" and i not in now]
        print(f"against {args[2]}: {len(lost)} caught there and not here"
              + (f": {', '.join(lost)}" if lost else "")
              + (f"; {len(unchecked)} caught there not yet run here" if unchecked else ""))
        if lost:
            sys.exit(1)
PY
}

print_table() {
  local against=()
  [ -f "$compare" ] && [ "$compare" != "$results" ] && against=("$compare")
  helper table "$faults" "$results" "${against[@]}"
}

if [ "$mode" = table ]; then
  print_table
  exit
fi

# id, file, kind, first, scope, checks per fault.
mapfile -t listed < <(helper list "$faults")
[ ${#listed[@]} -gt 0 ] || { echo "mutation-check: no fault in $faults" >&2; exit 1; }
if [ ${#chosen[@]} -gt 0 ]; then
  for id in "${chosen[@]}"; do
    # Not a pipe: grep -q stops at the first match, and under pipefail the
    # writer's broken pipe would fail a fault that is listed.
    grep -q "^$id"$'\x1f' < <(printf '%s\n' "${listed[@]}") || { echo "mutation-check: no fault $id" >&2; exit 2; }
  done
fi

if [ "$mode" = applies ]; then
  stale=0
  for entry in "${listed[@]}"; do
    IFS=$'\x1f' read -r id file kind first scope checks <<<"$entry"
    if why=$(helper plant "$faults" "$id" "$root"); then
      echo "applies: $id ($file)"
    else
      echo "NO LONGER APPLIES: $id: $why"
      stale=$((stale + 1))
    fi
    # A regex that names no test would quietly run nothing.
    if [ -f "$build/CTestTestfile.cmake" ]; then
      for regex in "$first" "$scope"; do
        [ -z "$regex" ] || [ "$(ctest --test-dir "$build" -N -R "$regex" | sed -n 's/^Total Tests: //p')" != 0 ] ||
          echo "  $id: no test matches '$regex'"
      done
    fi
  done
  echo "${#listed[@]} faults, $stale no longer apply"
  exit $((stale > 0))
fi

mkdir -p "$dir" "$logs" "$(dirname "$results")"
[ -f "$results" ] || printf '# fault\tfile\tkind\toutcome\tcaught by\tseconds (build and tests)\n' >"$results"

sync_tree() { helper sync "$root" "$tree" >/dev/null; }
# Whatever happens, the scratch tree is left as the working tree is.
trap 'sync_tree' EXIT
sync_tree
if [ ! -f "$build/CMakeCache.txt" ]; then
  generator=()
  command -v ninja >/dev/null && generator=(-G Ninja)
  cmake "${generator[@]}" -S "$tree" -B "$build" -DKESTROVA_PLATFORM=x11 >"$logs/configure.log" 2>&1 ||
    { tail -30 "$logs/configure.log" >&2; exit 1; }
fi

# Tests run in an IPC namespace of their own: a planted fault that leaks
# System V shared memory leaks it there, gone with the run, and other users'
# segments cannot fail a test that counts what is left behind.
isolated=()
if unshare --ipc true 2>/dev/null; then
  isolated=(unshare --ipc)
elif unshare --user --map-root-user --ipc true 2>/dev/null; then
  isolated=(unshare --user --map-root-user --ipc)
else
  echo "mutation-check: no private IPC namespace (unshare); a fault that leaks shared memory leaves it behind" >&2
fi

build_tree() {  # LOG: the first output that failed, on failure
  cmake --build "$build" -j "$jobs" >"$1" 2>&1 && return 0
  sed -n 's/^FAILED: //p' "$1" | head -1 | sed "s|$build/||"
  return 1
}

escape_names() {  # test names, one a line -> ^(a|b)$
  sed 's/[][\.*^$+?(){}|/]/\\&/g' | paste -sd '|' | sed 's/.*/^(&)$/'
}

# Tests that fail with no fault planted are no evidence: found once per state of the tree.
hash=$(helper hash "$root")
clean=$dir/clean-run.txt
if [ "$(sed -n 1p "$clean" 2>/dev/null)" != "$hash" ]; then
  echo "mutation-check: building and testing the tree without a fault (once per state of the tree)"
  started=$(date +%s)
  build_tree "$logs/clean-build.log" >/dev/null || { echo "mutation-check: the tree does not build" >&2; exit 1; }
  "${isolated[@]}" ctest --test-dir "$build" -j "$jobs" --timeout "$test_timeout" >"$logs/clean-ctest.log" 2>&1 || true
  valgrind_state=ok
  "${isolated[@]}" "$tree/scripts/valgrind-check.sh" "$build/kestrova-capture" >"$logs/clean-valgrind.log" 2>&1 ||
    valgrind_state=failed
  {
    echo "$hash"
    echo "valgrind $valgrind_state"
    sed -n '/The following tests FAILED:/,/^Errors/p' "$logs/clean-ctest.log" |
      sed -n 's/^[[:space:]]*[0-9]* - \(.*\) ([A-Za-z ]*)$/\1/p'
  } >"$clean"
  echo "mutation-check: clean run took $(($(date +%s) - started)) s"
fi
mapfile -t clean_failures < <(tail -n +3 "$clean")
exclude=""
if [ ${#clean_failures[@]} -gt 0 ]; then
  exclude=$(printf '%s\n' "${clean_failures[@]}" | escape_names)
  echo "mutation-check: left out, failing without any fault: ${clean_failures[*]}"
fi
valgrind_clean=$(sed -n 2p "$clean")
[ "$valgrind_clean" = "valgrind ok" ] || echo "mutation-check: valgrind-check fails without any fault; its verdicts are ignored"

# LOG INCLUDE EXCLUDE: on failure prints the failing tests and returns 1, or 2
# when they all pass on a second run (a test that fails by chance is no catch).
run_ctest() {
  local args=(--test-dir "$build" -j "$jobs" --stop-on-failure --output-on-failure --timeout "$test_timeout"
    --no-tests=ignore)
  [ -z "$2" ] || args+=(-R "$2")
  [ -z "$3" ] || args+=(-E "$3")
  "${isolated[@]}" ctest "${args[@]}" >"$1" 2>&1 && return 0
  local failed
  # A parameterized test's name comes with its parameter's bytes: left out.
  failed=$(sed -n '/The following tests FAILED:/,$s/^[[:space:]]*[0-9]* - \(.*\)$/\1/p' "$1" | head -3 |
    sed 's/  # GetParam() = .* (/ (/' | paste -sd ',' | sed 's/,/, /g')
  echo "${failed:-ctest error, see ${1#"$dir"/}}"
  # By name: ctest's own rerun goes by test numbers, which a run narrowed by
  # -R or -E gives out differently, so it could run some other test.
  local names
  names=$(sed 's/^[0-9]*://' "$build/Testing/Temporary/LastTestsFailed.log" 2>/dev/null | escape_names)
  [ "$names" != '^()$' ] || return 1
  "${isolated[@]}" ctest --test-dir "$build" -R "$names" --output-on-failure --timeout "$test_timeout" \
    >"$1.rerun" 2>&1 || return 1
  return 2
}

stage() {  # run_ctest's arguments: sets by, or adds to flaky
  local out status=0
  out=$(run_ctest "$@") || status=$?
  case $status in
    1) by=$out ;;
    2) flaky="${flaky:+$flaky, }$out" ;;
  esac
}

joined() {  # regexes -> one alternation of the non-empty ones
  local out="" r
  for r in "$@"; do [ -z "$r" ] || out="${out:+$out|}($r)"; done
  echo "$out"
}

recorded() { grep -q "^$1"$'\t'"\(caught\|survived\|unsure\)"$'\t' <(cut -f1,4- "$results"); }

stale=0
missed_quick=()
for entry in "${listed[@]}"; do
  IFS=$'\x1f' read -r id file kind first scope checks <<<"$entry"
  if [ ${#chosen[@]} -gt 0 ] && ! printf '%s\n' "${chosen[@]}" | grep -qx -- "$id"; then continue; fi
  if recorded "$id"; then
    [ "$redo" = 1 ] || continue
    grep -v "^$id"$'\t' "$results" >"$results.new" && mv "$results.new" "$results"
  fi
  sync_tree
  if ! why=$(helper plant "$faults" "$id" "$root" "$tree"); then
    echo "NO LONGER APPLIES: $id: $why (not counted; update scripts/mutations.txt)"
    stale=$((stale + 1))
    continue
  fi
  started=$(date +%s)
  outcome=survived
  by=""
  flaky=""
  if failed=$(build_tree "$logs/$id.build.log"); then
    [ -z "$first" ] || stage "$logs/$id.first.log" "$first" "$exclude"
    if [ -z "$by" ] && [[ " $checks " == *" valgrind "* ]] && [ "$valgrind_clean" = "valgrind ok" ]; then
      if ! "${isolated[@]}" "$tree/scripts/valgrind-check.sh" "$build/kestrova-capture" >"$logs/$id.valgrind.log" 2>&1
      then
        by="valgrind-check ($(grep -m1 'FAILED' "$logs/$id.valgrind.log" | sed 's/^valgrind //'))"
      fi
    fi
    if [ -z "$by" ] && [ "$mode" = full ]; then
      stage "$logs/$id.suite.log" "$scope" "$(joined "$exclude" "$first")"
    fi
  else
    by="build: ${failed:-see logs/$id.build.log}"
  fi
  seconds=$(($(date +%s) - started))
  if [ -n "$by" ]; then
    outcome=caught
  elif [ -n "$flaky" ]; then
    outcome=unsure
    by="failed once, passed on a second run: $flaky"
  fi
  if [ "$outcome" != caught ] && [ "$mode" = quick ]; then
    echo "$id: not caught by its first tests (${first:-none}) in $seconds s; the full run decides"
    missed_quick+=("$id")
    continue
  fi
  printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$id" "$file" "$kind" "$outcome" "${by:--}" "$seconds" >>"$results"
  case $outcome in
    caught) echo "$id: caught by $by ($seconds s)" ;;
    unsure) echo "$id: unsure, $by ($seconds s)" ;;
    *) echo "$id: $outcome ($seconds s)" ;;
  esac
done

echo
print_table || status=$?
[ "$stale" -eq 0 ] || echo "$stale faults no longer apply (not counted)"
[ ${#missed_quick[@]} -eq 0 ] || echo "quick run: ${#missed_quick[@]} faults left for a full run: ${missed_quick[*]}"
exit "${status:-0}"
