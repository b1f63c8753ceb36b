#!/usr/bin/env bash
# Builds the Debian packages comvorlix and comvorlix-gui (cmake/Packaging.cmake)
# into build-pkg/ from a Release build for the prefix /usr, and checks them
# with lintian: its errors fail the script, its warnings are shown.
#
#   scripts/package.sh && apt-get install ./build-pkg/comvorlix_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
# dpkg-shlibdeps (dpkg-dev) computes the Depends; lintian checks the result.
missing=()
for p in dpkg-dev lintian; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The prefix /usr at configure time: GNUInstallDirs then picks Debian's
# multiarch library folder, and the RUNPATH is computed for it.
cmake -S . -B build-pkg -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DCOMVORLIX_TESTS=OFF -DCOMVORLIX_BENCH=OFF
cmake --build build-pkg
rm -f build-pkg/*.deb
(cd build-pkg && cpack -G DEB)

debs=(build-pkg/comvorlix_*.deb build-pkg/comvorlix-gui_*.deb)
for deb in "${debs[@]}"; do
  echo "== $deb"
  dpkg-deb --field "$deb" Package Version Depends
done
lintian --fail-on error --display-info "${debs[@]}"
echo "packages: ${debs[*]}"
