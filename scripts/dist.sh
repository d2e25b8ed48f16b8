#!/usr/bin/env bash
# The release archive a host application embeds, from a finished build:
# <build>/kestrova-capture-<version>-<os>-<arch>.tar.gz holding one folder with
# the binary (on Linux the recognizer module beside it, where the binary looks
# first), the man page, the README's host section as HOST.md, and SHA256SUMS.
# Usage: scripts/dist.sh [build-dir]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build}" && pwd)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "dist: no project version in $build/CMakeCache.txt" >&2; exit 1; }
case "$(uname -s)" in
  Darwin) os=macos arch=$(lipo -archs "$build/kestrova-capture" | tr ' ' '-') ;;
  Linux) os=linux arch=$(uname -m) ;;
  *) echo "dist: no archive for $(uname -s)" >&2; exit 1 ;;
esac
name=kestrova-capture-$version-$os-$arch

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
dir=$stage/$name
mkdir "$dir"
if [ "$os" = linux ]; then
  # The debugging information is most of their size; a host has no use for it.
  strip -o "$dir/kestrova-capture" "$build/kestrova-capture"
  strip --strip-unneeded -o "$dir/kestrova-ocr.so" "$build/kestrova-ocr.so"
else
  # Left as linked: the host signs it, and a changed binary loses the linker's signature.
  cp "$build/kestrova-capture" "$dir/"
fi
cp "$root/man/kestrova-capture.1" "$dir/"
awk '/^## / { inside = ($0 == "## How a host calls it") } inside' "$root/README.md" >"$dir/HOST.md"
[ -s "$dir/HOST.md" ] || { echo "dist: README.md has no section 'How a host calls it'" >&2; exit 1; }
(cd "$dir" && if command -v sha256sum >/dev/null; then sha256sum -- *; else shasum -a 256 -- *; fi) >"$stage/SHA256SUMS"
mv "$stage/SHA256SUMS" "$dir/"

# The unpacked binary must start where it was built: a missing library or
# module shows here, not on the host's machine.
status=0
"$dir/kestrova-capture" >/dev/null 2>"$stage/err" || status=$?
if [ "$status" -ne 1 ] || ! grep -q '^Usage: kestrova-capture ' "$stage/err"; then
  echo "dist: the staged binary does not start (status $status): $(cat "$stage/err")" >&2
  exit 1
fi
if [ "$os" = linux ] && ldd "$dir/kestrova-ocr.so" | grep 'not found'; then
  echo "dist: the recognizer module misses libraries" >&2
  exit 1
fi

tar -czf "$build/$name.tar.gz" -C "$stage" "$name"
echo "$build/$name.tar.gz"
