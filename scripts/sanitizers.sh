#!/usr/bin/env bash
# Builds comvorlix with sanitizers and runs the tests under them.
#
#   asan  AddressSanitizer + UndefinedBehaviorSanitizer (+ LeakSanitizer):
#         the whole project, then the whole ctest suite (the end-to-end
#         checks included, so every check path is also a leak check).
#   tsan  ThreadSanitizer: the tests of the SSH worker thread, the message
#         queue and the session (base_tests, ssh_tests, session_tests), and the
#         whole checks (check_tests).
#
# Usage: scripts/sanitizers.sh [asan|tsan|all]   (default all)
# Environment: ASAN_BUILD_DIR (default build-asan), TSAN_BUILD_DIR (default
# build-tsan), CXX/CC (default: the system compiler, as in the normal build).
#
# Built with -O1 and without the benchmarks to keep the time down. Every
# sanitizer finding fails the run, in the tests themselves and in the
# processes they start (the command-line host, the switch emulator): the
# runtimes write their reports to BUILD_DIR/sanitizer-logs/, and any report
# there fails the script. UndefinedBehaviorSanitizer does not recover
# (-fno-sanitize-recover=all). The only suppression is written below, with
# why it is not ours.
set -euo pipefail
cd "$(dirname "$0")/.."
what=${1:-all}
case $what in asan|tsan|all) ;; *) echo "usage: $0 [asan|tsan|all]" >&2; exit 2 ;; esac

configure() {  # BUILD_DIR SANITIZERS QT
  local build=$1 sanitizers=$2 qt=$3
  # A build directory configured for other sanitizers is configured anew.
  if [ ! -f "$build/build.ninja" ] ||
     ! grep -qx "COMVORLIX_SANITIZE:STRING=$sanitizers" "$build/CMakeCache.txt"; then
    cmake -S . -B "$build" -G Ninja -DCOMVORLIX_SANITIZE="$sanitizers" -DCOMVORLIX_QT="$qt" \
        -DCOMVORLIX_BENCH=OFF -DCOMVORLIX_TESTS=ON -DCMAKE_BUILD_TYPE=Debug \
        -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" -DCMAKE_C_FLAGS_DEBUG="-O1 -g" \
        -DCMAKE_CXX_FLAGS="-fno-sanitize-recover=all" -DCMAKE_C_FLAGS="-fno-sanitize-recover=all" >/dev/null
  fi
}

# Fails when a sanitizer runtime wrote a report during the tests.
check_logs() {  # LOG_DIR NAME
  local logs=$1 name=$2
  # LeakSanitizer's tracer cannot read the registers of a thread that is
  # just ending while it stops the world at exit; it says so and checks the
  # rest. That line alone is no finding: a log holding nothing else is
  # dropped.
  local f
  for f in "$logs"/*; do
    [ -f "$f" ] || continue
    if ! grep -qv 'Unable to get registers from thread' "$f"; then
      echo "$name: ignored $(basename "$f"): $(head -1 "$f")"
      rm -f "$f"
    fi
  done
  if compgen -G "$logs/*" >/dev/null; then
    echo "$name: sanitizer reports:"
    for f in "$logs"/*; do echo "== $f"; head -60 "$f"; done
    return 1
  fi
  echo "$name: no sanitizer reports"
}

# LeakSanitizer suppressions, for allocations that are neither made nor
# owned by comvorlix code.
write_lsan_suppressions() {  # FILE
  cat >"$1" <<'SUPPRESSIONS'
# fontconfig loads its configuration (parsed from its XML files through
# expat, FcInitLoadConfigAndFonts) into a cache that lives as long as the
# process. Qt's font database (QFontconfigDatabase::populateFontDatabase)
# fills it on the first text layout of the Qt dialog tests and never calls
# FcFini, so the cache is still there at exit. The blocks are allocated and
# owned inside libfontconfig; comvorlix never calls fontconfig itself. Only
# libfontconfig's own frames are matched (the fast unwinder stops in it).
leak:libfontconfig.so
SUPPRESSIONS
}

run_asan() {
  local build=${ASAN_BUILD_DIR:-build-asan}
  local start=$SECONDS
  # GCC leaves float-cast-overflow (a double too large for its integer
  # type, undefined behaviour) out of "undefined"; it is asked for here.
  configure "$build" address,undefined,float-cast-overflow ON
  cmake --build "$build" -j"$(nproc)"
  local logs=$PWD/$build/sanitizer-logs
  rm -rf "$logs" && mkdir -p "$logs"
  local suppressions=$PWD/$build/lsan.supp
  write_lsan_suppressions "$suppressions"
  echo "asan: built in $((SECONDS - start)) s"
  local status=0
  ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:log_path=$logs/asan" \
  LSAN_OPTIONS="suppressions=$suppressions:print_suppressions=0:log_path=$logs/lsan" \
  UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:log_path=$logs/ubsan" \
  QT_QPA_PLATFORM=offscreen \
    ctest --test-dir "$build" --output-on-failure -j2 --timeout 300 || status=$?
  check_logs "$logs" asan || status=1
  echo "asan: $((SECONDS - start)) s in all"
  return $status
}

run_tsan() {
  local build=${TSAN_BUILD_DIR:-build-tsan}
  local start=$SECONDS
  local tests=(base_tests ssh_tests session_tests check_tests)
  configure "$build" thread OFF
  # Only these tests and what they start (the emulator, the command-line host).
  cmake --build "$build" -j"$(nproc)" --target "${tests[@]}"
  local logs=$PWD/$build/sanitizer-logs
  rm -rf "$logs" && mkdir -p "$logs"
  echo "tsan: built in $((SECONDS - start)) s"
  # Left out: the end-to-end check against a switch that never stops
  # sending. It asserts that the check ends within 30 s of wall time, and
  # ending takes 64 Mi characters through the terminal filter and the
  # capture, each access instrumented: about 2 s normally, 7 s under
  # AddressSanitizer (it runs in the asan part), 45-50 s under
  # ThreadSanitizer. A time limit, not a race.
  local exclude=-Switches/Faults.EndWithinTheTimeLimitsAndRememberNothing/endless_output
  local status=0
  for t in "${tests[@]}"; do
    # The tests run where ctest would run them.
    (cd "$build/tests" &&
     TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:log_path=$logs/tsan" \
       timeout 900 "./$t" --gtest_brief=1 --gtest_filter="$exclude") || { echo "tsan: $t failed"; status=1; }
  done
  check_logs "$logs" tsan || status=1
  echo "tsan: $((SECONDS - start)) s in all"
  return $status
}

status=0
if [ "$what" = asan ] || [ "$what" = all ]; then run_asan || status=1; fi
if [ "$what" = tsan ] || [ "$what" = all ]; then run_tsan || status=1; fi
exit $status
