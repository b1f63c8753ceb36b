#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/) with clang and runs each of them for
# a while on its seed corpus. Any crash, sanitizer report (AddressSanitizer,
# UndefinedBehaviorSanitizer, LeakSanitizer), broken property, time-out or
# memory overrun fails the script; the input that caused it is kept in
# BUILD_DIR/artifacts/<target>/ and its report in BUILD_DIR/logs/<target>.log.
#
# Usage: scripts/fuzz.sh [SECONDS [TARGET...]]
#   SECONDS  run time of each target (default 60)
#   TARGET   parameter_string, base64, secret_field, output_adaptation,
#            conversation, statement_diff, kind_file (default: all)
# Environment: BUILD_DIR (default build-fuzz), CXX/CC (default clang++-14 /
# clang-14, or clang++ / clang).
#
# Inputs found to add coverage are kept in BUILD_DIR/corpus/<target>/ between
# runs; fuzz/corpus/<target>/ holds the committed seeds, which this script
# only reads, and fuzz/dict/<target>.dict the words a target's mutations use. To replay a finding: BUILD_DIR/fuzz/<target>_fuzz <file>.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(parameter_string base64 secret_field output_adaptation conversation statement_diff kind_file)
build=${BUILD_DIR:-build-fuzz}

pick() { for c in "$@"; do command -v "$c" >/dev/null && { echo "$c"; return; }; done; echo "$1"; }
export CC=${CC:-$(pick clang-14 clang)}
export CXX=${CXX:-$(pick clang++-14 clang++)}
if ! command -v "$CXX" >/dev/null; then
  echo "fuzz: $CXX not found; libFuzzer needs clang (Debian: clang-14 libclang-rt-14-dev)" >&2
  exit 1
fi

if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCOMVORLIX_FUZZ=ON -DCOMVORLIX_TESTS=OFF -DCOMVORLIX_BENCH=OFF \
      -DCOMVORLIX_QT=OFF -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" >/dev/null
fi
ninja -C "$build" -j"$(nproc)" $(printf '%s_fuzz ' "${targets[@]}") >/dev/null

# Leaks fail a run too; symbolised reports for the logs.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:symbolize=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

failed=()
for t in "${targets[@]}"; do
  work=$build/corpus/$t
  artifacts=$build/artifacts/$t
  log=$build/logs/$t.log
  mkdir -p "$work" "$artifacts" "$(dirname "$log")"
  start=$(date +%s)
  dict=()
  [ -f "fuzz/dict/$t.dict" ] && dict=(-dict="fuzz/dict/$t.dict")
  set +e
  "$build/fuzz/${t}_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      "${dict[@]}" -artifact_prefix="$artifacts/" "$work" "fuzz/corpus/$t" >"$log" 2>&1
  status=$?
  set -e
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1)
  if [ $status -eq 0 ]; then
    echo "fuzz $t: ok, ${runs:-?} runs, ${cov:-cov: ?}, $(($(date +%s) - start)) s"
  else
    echo "fuzz $t: FAILED (exit status $status); report in $log, input in $artifacts/"
    grep -E 'ERROR:|SUMMARY:|property does not hold|runtime error' "$log" | head -5 | sed 's/^/  /'
    failed+=("$t")
  fi
done
[ ${#failed[@]} -eq 0 ] || { echo "fuzzing failed: ${failed[*]}"; exit 1; }
