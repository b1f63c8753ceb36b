#!/usr/bin/env bash
# Configures and builds comvorlix.
#   scripts/build.sh          everything into build/ (Release with debug info,
#                             warnings as errors): tests, benchmarks, the Qt
#                             dialog when Qt is there
#   scripts/build.sh --demo   only the check (comvorlix and its library) and
#                             the switch emulator, into build-demo/: no tests,
#                             benchmarks, fuzzers or Qt, so it never touches
#                             (or needs the packages of) the full build
set -euo pipefail
cd "$(dirname "$0")/.."
case "${1:-}" in
  --demo)
    # -O2 without debug information: the quickest build that runs well
    # (GCC 12 at -O3 also warns falsely about string concatenation).
    cmake -S . -B build-demo -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
        -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" -DCOMVORLIX_TESTS=OFF -DCOMVORLIX_BENCH=OFF -DCOMVORLIX_QT=OFF \
        -DCOMVORLIX_FUZZ=OFF >/dev/null
    cmake --build build-demo -j"$(nproc)" --target comvorlix_cli switchsim
    ;;
  "")
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCOMVORLIX_WERROR=ON >/dev/null
    cmake --build build -j"$(nproc)"
    ;;
  *) echo "usage: $0 [--demo]" >&2; exit 2 ;;
esac
