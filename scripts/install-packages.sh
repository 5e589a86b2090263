#!/usr/bin/env bash
# Installs Debian 12 packages named in package lists (one a line, # comments).
#   install-packages.sh [--if-missing] [LIST...]
#   --if-missing   do nothing when every package is installed already
#   LIST           package lists (default: scripts/packages.txt, what the
#                  program, its build and its tests need)
set -euo pipefail
cd "$(dirname "$0")/.."
if_missing=""
if [ "${1:-}" = "--if-missing" ]; then if_missing=1; shift; fi
[ $# -gt 0 ] || set -- scripts/packages.txt
packages=$(cat "$@" | sed 's/#.*//' | tr -s ' \t' '\n' | grep -v '^$' | sort -u)
if [ -n "$if_missing" ]; then
  missing=""
  for pkg in $packages; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing="$missing $pkg"
  done
  [ -n "$missing" ] || exit 0
  echo "Installing:$missing"
fi
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
# shellcheck disable=SC2086
$sudo apt-get install -y --no-install-recommends -o DPkg::Lock::Timeout=600 $packages
