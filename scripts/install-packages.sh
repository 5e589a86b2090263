#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the program need.
set -euo pipefail
cd "$(dirname "$0")/.."
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
# shellcheck disable=SC2046
$sudo apt-get install -y --no-install-recommends -o DPkg::Lock::Timeout=600 $(grep -v '^#' scripts/packages.txt)
