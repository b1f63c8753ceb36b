#!/usr/bin/env bash
# Runs the installed plugin under real monitoring engines: builds the Debian
# packages (scripts/package.sh), installs them with apt-get, installs the
# engines without starting their services, and runs every
# tests/engines/*.sh against switchsim on loopback. Needs root (a CI
# machine); any failing engine test fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

scripts/package.sh
# switchsim comes from the normal build (scripts/test.sh builds it).
cmake --build build --target switchsim

# Package scripts must not start services: the machine has no init system
# to run them, and each test starts its daemon by hand on a private set-up.
policy=/usr/sbin/policy-rc.d
$sudo sh -c "printf '#!/bin/sh\nexit 101\n' > $policy && chmod 755 $policy"
export DEBIAN_FRONTEND=noninteractive
# curl and jq: the Icinga 2 tests talk to its REST API.
$sudo apt-get install -y -q -o DPkg::Lock::Timeout=600 --no-install-recommends \
  ./build-pkg/comvorlix_*.deb nagios4-core icinga2-bin icinga2-common curl jq
# Every build has the same version: a package of an earlier build that is
# installed already would be kept, so the one just built is put in place.
$sudo apt-get install -y -q -o DPkg::Lock::Timeout=600 --no-install-recommends --reinstall \
  ./build-pkg/comvorlix_*.deb

# Only for working on a test against a package without the diff in the
# long output; the runner always checks it.
unset COMVORLIX_ENGINE_SKIP_DIFF
status=0
for t in tests/engines/*.sh; do
  # Helpers the tests source, not tests.
  case $t in *lib.sh) continue ;; esac
  echo "== engine test $t"
  if "$t"; then echo "== $t: passed"; else echo "== $t: FAILED"; status=1; fi
done
exit $status
