#!/usr/bin/env bash
# Builds the engine unit tests, the CLI and its tests with clang under
# AddressSanitizer and UndefinedBehaviorSanitizer in BUILD_DIR and runs them
# with ctest. Any sanitizer report stops the test that made it and fails the
# run. With --thread, builds the planner's unit tests under ThreadSanitizer
# instead and runs those whose searches share work between threads (the
# narrow rasters' shared steps, the wide rasters' shared runs): any race
# reported fails the run.
#   usage: scripts/test-sanitizers.sh [--thread] BUILD_DIR
set -euo pipefail

sanitizers=address,undefined
if [ "${1:-}" = --thread ]; then
  sanitizers=thread
  shift
fi
if [ $# -ne 1 ]; then
  echo "usage: $0 [--thread] BUILD_DIR" >&2
  exit 2
fi
build=$1
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${JOBS:-2}

flags="-fsanitize=$sanitizers -fno-sanitize-recover=all -fno-omit-frame-pointer -g"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -Wno-dev \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZELMAR_BUILD_TESTS=ON -DZELMAR_BUILD_BENCH=OFF -DZELMAR_BUILD_FUZZ=OFF \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=$sanitizers" \
  -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=$sanitizers"

if [ "$sanitizers" = thread ]; then
  cmake --build "$build" -j "$jobs" --target zelmar_planner_tests
  TSAN_OPTIONS=halt_on_error=1:abort_on_error=1 \
    "$build/tests/planner/zelmar_planner_tests" \
    --gtest_filter='SharedRun.*:DenseSearch.*' --gtest_brief=1
  exit
fi

# Everything that configure produced: the engine tests always, the CLI and
# its tests whenever they are part of the tree.
cmake --build "$build" -j "$jobs"

export ASAN_OPTIONS=abort_on_error=1:halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1:check_initialization_order=1
export UBSAN_OPTIONS=halt_on_error=1:abort_on_error=1:print_stacktrace=1
export ASAN_SYMBOLIZER_PATH=${ASAN_SYMBOLIZER_PATH:-$(command -v llvm-symbolizer || command -v llvm-symbolizer-14 || true)}

log="$build/sanitizer-ctest.log"
status=0
ctest --test-dir "$build" --output-on-failure -j "$jobs" \
  --output-log "$build/sanitizer-ctest-full.log" 2>&1 | tee "$log" ||
  status=$?
# A report inside a child process the tests start (the CLI) can be swallowed
# by a test that only looks at an exit code, so the output is searched too.
if grep -qE 'ERROR: AddressSanitizer|runtime error:|ERROR: LeakSanitizer' \
    "$log" "$build/sanitizer-ctest-full.log"; then
  echo "sanitizer report found in $log" >&2
  status=1
fi
exit $status
