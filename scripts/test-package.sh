#!/usr/bin/env bash
# The Debian package's checks: lintian finds no error; then the round trip:
# installs it with dpkg, runs the demo's four commands against
# /usr/bin/kestrova-capture, proves the recognizer module was loaded from its
# installed place, removes the package and checks that nothing it installed
# is left. Removes the package on every way out.
# Usage: scripts/test-package.sh [build-dir]   (after `make deb`)
#
# A kestrova-capture package found installed is left alone and the run fails:
# it may be the developer's own. Only one left by an interrupted run of this
# script (it leaves a mark first) is removed.
set -euo pipefail

build=${1:-build}
package=kestrova-capture
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb=$(realpath "$build/${package}_${version}_$(dpkg --print-architecture).deb")
installed_tool=/usr/bin/kestrova-capture
mark=/var/tmp/kestrova-capture-package-test.installed
here=$(cd "$(dirname "$0")" && pwd)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

fail() { echo "test-package: $*" >&2; exit 1; }
# Present: in any state but gone (a failed dpkg -i leaves it half there).
is_present() {
  case "$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null)" in
    "" | not-installed | config-files) return 1 ;;
  esac
}

# Another helper running apt or dpkg holds dpkg's lock for a while: wait for
# it, up to five minutes, rather than fail on a busy machine.
dpkg_waiting() {
  local deadline=$((SECONDS + 300)) log
  log=$(mktemp)
  until $sudo dpkg "$@" >"$log" 2>&1; do
    if ! grep -q "lock" "$log" || [ "$SECONDS" -ge "$deadline" ]; then
      cat "$log" >&2
      rm -f "$log"
      return 1
    fi
    sleep 2
  done
  rm -f "$log"
}

work=$(mktemp -d /tmp/kestrova-package-XXXXXX)
cleanup() {
  if [ -e "$mark" ] && is_present; then
    echo "test-package: removing the package this run installed" >&2
    dpkg_waiting -r "$package" >/dev/null || true
  fi
  is_present || $sudo rm -f "$mark"
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

[ -f "$deb" ] || fail "no package at $deb (run: make deb)"
# Warnings are reported, errors fail the run.
lintian --fail-on error "$deb" || fail "lintian finds errors in $deb"
# Two runs at once would remove each other's package.
exec 9>>/tmp/kestrova-capture-package-test.lock
flock -w 600 9 || fail "another package round trip did not end within ten minutes"

if is_present; then
  [ -e "$mark" ] || fail "$package $(dpkg-query -W -f='${Version}' "$package") is installed and not by this test;" \
    "remove it (dpkg -r $package) to run the round trip"
  echo "test-package: removing $package left by an interrupted run" >&2
  dpkg_waiting -r "$package"
fi

$sudo touch "$mark"
dpkg_waiting -i "$deb" || fail "dpkg -i $deb failed"
dpkg-query -L "$package" >"$work/files"
echo "test-package: installed $(dpkg-query -W -f='${Package} ${Version}' "$package"), $(wc -l <"$work/files") paths"

# The dynamic loader writes down every file it opens, dlopen'ed ones too;
# exec keeps /usr/bin/kestrova-capture the running executable.
mkdir "$work/ld"
cat >"$work/kestrova-capture" <<EOF
#!/bin/sh
LD_DEBUG=files LD_DEBUG_OUTPUT=$work/ld/trace exec $installed_tool "\$@"
EOF
chmod +x "$work/kestrova-capture"
timeout 120 "$here/demo.sh" "$work/kestrova-capture" 9>&- | tee "$work/demo"

# Each command's exit status, and what it printed that only a working tool prints.
[ "$(grep -c '^\$ kestrova-capture .*(exit status 0)$' "$work/demo")" -eq 5 ] || fail "a command failed"
grep -q '^  stdout | Hello from the demo clipboard: café, 水, 😀$' "$work/demo" || fail "clipboard did not print the text"
grep -q '^  stdout | ok$' "$work/demo" || fail "activate did not print ok"
grep -q '^  stdout | XTerm$' "$work/demo" || fail "active-app did not name XTerm"
grep -q '^  stdout |   "text": ".*quick brown fox jumps over the lazy dog' "$work/demo" ||
  fail "screenshot did not recognize the xterm's text"
if grep -q 'stderr |' "$work/demo"; then fail "a command wrote to standard error"; fi

loaded=$(grep -ho 'file=[^ ]*kestrova-ocr\.so' "$work"/ld/trace.* | sort -u)
expected="file=/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/kestrova-capture/kestrova-ocr.so"
[ "$loaded" = "$expected" ] || fail "the recognizer module loaded: '${loaded:-none}', expected only ${expected#file=}"
grep -qx "${expected#file=}" "$work/files" || fail "the package does not list ${expected#file=}"
echo "test-package: the recognizer module was loaded from ${expected#file=}"

dpkg_waiting -r "$package" || fail "dpkg -r $package failed"
is_present && fail "$package is still installed after dpkg -r"
$sudo rm -f "$mark"
# A directory may stay only if another package still owns it.
left=()
while IFS= read -r path; do
  [ -e "$path" ] || [ -L "$path" ] || continue
  [ -d "$path" ] && dpkg-query -S "$path" >/dev/null 2>&1 && continue
  left+=("$path")
done <"$work/files"
[ "${#left[@]}" -eq 0 ] || fail "left behind after dpkg -r: ${left[*]}"
echo "test-package: removed, nothing of its $(wc -l <"$work/files") paths left"
