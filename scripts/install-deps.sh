#!/usr/bin/env bash
# Installs the Debian 12 packages comvorlix needs.
#   scripts/install-deps.sh          everything: build, test suite, benchmarks,
#                                    fuzzing (clang), the Qt dialog, engine tests
#   scripts/install-deps.sh --demo   only what scripts/demo.sh builds and runs:
#                                    the check and the switch emulator
# Runs apt-get only when a package is missing; needs root (or sudo) then.
set -euo pipefail
# The check and the emulator: a C and C++ compiler (g++ brings gcc), CMake
# with Ninja, pkg-config to find libssh and RE2, zlib for the checksum,
# toml++ for kind files, OpenSSL's headers for where the check takes its
# random bytes. The demo runs only coreutils, grep and sed, which every Debian system has.
demo=(g++ cmake ninja-build pkg-config libssh-dev libssl-dev libre2-dev zlib1g-dev libtomlplusplus-dev)
# Besides: the test suite (GoogleTest, Python for the layering check, an
# OpenSSH client, procps and time for the process tests), benchmarks, the
# Qt dialog, and clang for fuzzing.
full=("${demo[@]}" build-essential googletest libgtest-dev libgmock-dev libbenchmark-dev
      qt6-base-dev openssh-client python3 procps time clang libclang-rt-14-dev)
case "${1:-}" in
  --demo) packages=("${demo[@]}") ;;
  "") packages=("${full[@]}") ;;
  *) echo "usage: $0 [--demo]" >&2; exit 2 ;;
esac
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
