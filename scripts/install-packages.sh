#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the program need.
#   --if-missing   do nothing when every package is installed already
set -euo pipefail
cd "$(dirname "$0")/.."
packages=$(grep -v '^#' scripts/packages.txt)
if [ "${1:-}" = "--if-missing" ]; then
  missing=""
  for pkg in $packages; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing="$missing $pkg"
  done
  [ -n "$missing" ] || exit 0
fi
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
# shellcheck disable=SC2086
$sudo apt-get install -y --no-install-recommends -o DPkg::Lock::Timeout=600 $packages
