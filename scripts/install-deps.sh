#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, and
# nothing when they are all there already. Package lists: scripts/deps/*.txt,
# one package a line ('#' starts a comment). Lists named optional-*.txt are
# installed only when named on the command line (the benchmark's, say).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
lists=()
for list in "$here"/deps/*.txt; do
  case "$(basename "$list")" in optional-*) ;; *) lists+=("$list") ;; esac
done
[ "$#" -gt 0 ] && lists=("$@")

wanted=$(sed -e 's/#.*//' "${lists[@]}" | tr -s ' \t' '\n' | sed '/^$/d' | sort -u)

missing=()
for pkg in $wanted; do
  status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$pkg")
done
[ "${#missing[@]}" -eq 0 ] && exit 0

if [ "$(uname -s)" != "Linux" ] || ! command -v apt-get >/dev/null; then
  echo "install-deps: missing packages and no apt-get here: ${missing[*]}" >&2
  exit 1
fi
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "install-deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
