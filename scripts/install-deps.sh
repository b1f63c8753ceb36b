#!/usr/bin/env bash
# Installs the Debian 12 packages needed to build, test and demo comvorlix.
# Runs apt-get only when a package is missing; needs root (or sudo) then.
set -euo pipefail
packages=(build-essential cmake ninja-build pkg-config libssh-dev googletest libgtest-dev libgmock-dev
          libbenchmark-dev zlib1g-dev libre2-dev qt6-base-dev openssh-client python3 procps time
          clang libclang-rt-14-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
