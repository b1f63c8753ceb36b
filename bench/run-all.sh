#!/usr/bin/env bash
# Runs every benchmark from an existing build folder and prints the figures,
# each against a baseline run alternately in the same run: start-up
# (`comvorlix --version` against `ssh -V`), one check against the OpenSSH
# client (2 000 and 20 000 lines: wall time, processor time, peak memory),
# processor use of a check that waits on a slow switch, 200 checks of
# different emulated switches 20 at a time, and the checksum against
# zlib's crc32 called directly. Names the build it measured; builds nothing.
#
#   bench/run-all.sh BUILD_DIR [--runs N] [--json FILE] [--markdown]
#                    [--only version,latency,idle,many,crc] [--keep]
#
# BUILD_DIR should hold the build users run: Release, with the Qt dialog
# (do not turn COMVORLIX_QT off), e.g.
#   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release
#   ninja -C build-bench comvorlix_cli switchsim crc_bench
# Needs the OpenSSH client (ssh, ssh-keygen), GNU time and python3. Each
# figure is the median of N runs (default 7, at least 5). Leaves the user's
# ~/.ssh alone: fixed test host keys, known hosts made for the run.
set -euo pipefail
if [ $# -lt 1 ] || [ ! -d "$1" ]; then
  sed -n '2,/^set -euo/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//' >&2
  exit 2
fi
build=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
exec python3 "$here/check_bench.py" --build "$build" "$@"
