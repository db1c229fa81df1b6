#!/usr/bin/env bash
# Builds and runs every test: a plain build, then the same tests under
# AddressSanitizer + UndefinedBehaviorSanitizer, then the threaded tests under
# ThreadSanitizer. Any failure or sanitizer report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)

configure_and_build() {  # <dir> [cmake args...]
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

echo "== plain build"
configure_and_build build
ctest --test-dir build --output-on-failure -j 1

echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
configure_and_build build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVANE_SANITIZERS=address,undefined -DQUORVANE_BUILD_BENCHMARKS=OFF
ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:halt_on_error=1:allocator_may_return_null=1:detect_stack_use_after_return=0" \
  LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0" \
  UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1" \
  ctest --test-dir build-asan --output-on-failure -j 1 -LE 'no-sanitizer'

echo "== ThreadSanitizer (threaded tests)"
configure_and_build build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVANE_SANITIZERS=thread -DQUORVANE_BUILD_BENCHMARKS=OFF
TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$root/scripts/tsan.supp" \
  ctest --test-dir build-tsan --output-on-failure -j 1 -L threaded
