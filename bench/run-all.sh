#!/usr/bin/env bash
# Runs every benchmark from an existing build folder and prints the figures:
# check latency against the OpenSSH client (2 000 and 20 000 lines),
# processor use of a check that waits on a slow switch, 200 checks of
# different emulated switches 20 at a time (total time, peak memory of one
# check), and CrcOfText against zlib's crc32. Builds nothing.
#
#   bench/run-all.sh BUILD_DIR [--runs N] [--json FILE] [--only PARTS] [--keep]
#
# BUILD_DIR must hold a Release build of src/comvorlix,
# tools/switchsim/switchsim and bench/crc_bench, e.g.
#   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DCOMVORLIX_QT=OFF
#   ninja -C build-bench comvorlix_cli switchsim crc_bench
# Needs the OpenSSH client (ssh, ssh-keygen), GNU time and python3.
# Each figure is the median of N runs (default 7, at least 5) with its
# baseline run alternately in the same run.
set -euo pipefail
if [ $# -lt 1 ] || [ ! -d "$1" ]; then
  sed -n '2,/^set -euo/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//' >&2
  exit 2
fi
build=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
echo "== $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "== $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //')"
exec python3 "$here/check_bench.py" --build "$build" "$@"
