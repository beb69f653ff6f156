#!/usr/bin/env bash
# Builds the planner's unit tests with clang under ThreadSanitizer in
# BUILD_DIR and runs the tests whose searches share work between threads:
# the narrow rasters' shared steps and the wide rasters' shared runs. Any
# race reported fails the run.
#   usage: scripts/test-threads.sh BUILD_DIR
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
build=$1
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${JOBS:-2}

flags="-fsanitize=thread -fno-omit-frame-pointer -g"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -Wno-dev \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZELMAR_BUILD_TESTS=ON -DZELMAR_BUILD_BENCH=OFF -DZELMAR_BUILD_FUZZ=OFF \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread"
cmake --build "$build" -j "$jobs" --target zelmar_planner_tests

TSAN_OPTIONS=halt_on_error=1:abort_on_error=1 \
  "$build/tests/planner/zelmar_planner_tests" \
  --gtest_filter='SharedRun.*:DenseSearch.*' --gtest_brief=1
