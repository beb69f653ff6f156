#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, ASan and UBSan in BUILD_DIR and
# runs each of them for SECONDS on a copy of its checked-in seed corpus.
# Exits non-zero when a fuzzer finds a crash, a sanitizer report or a broken
# invariant (the harness aborts), leaving the reproducer in BUILD_DIR.
#   usage: scripts/fuzz.sh BUILD_DIR SECONDS
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 BUILD_DIR SECONDS" >&2
  exit 2
fi
build=$1
seconds=$2
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${JOBS:-2}

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -Wno-dev \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZELMAR_BUILD_FUZZ=ON -DZELMAR_BUILD_TESTS=OFF -DZELMAR_BUILD_BENCH=OFF
cmake --build "$build" -j "$jobs" --target parse_fuzz run_fuzz plan_fuzz show_fuzz scan_fuzz

export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

# name:max_len. The run fuzzer may build texts of 30,000 bytes and more.
status=0
for spec in parse_fuzz:4096 run_fuzz:70000 plan_fuzz:1024 show_fuzz:4096 scan_fuzz:4096; do
  name=${spec%%:*}
  max_len=${spec##*:}
  kind=${name%_fuzz}
  corpus="$build/corpus-$kind"
  artifacts="$build/artifacts-$kind/"
  mkdir -p "$corpus" "$artifacts"
  cp -n "$root/tests/fuzz/corpus/$kind/"* "$corpus/" 2>/dev/null || true
  echo "== $name: $seconds s, max_len $max_len, corpus $corpus"
  if ! "$build/tests/fuzz/$name" -max_total_time="$seconds" -max_len="$max_len" \
      -timeout=30 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$artifacts" "$corpus" 2>"$build/$name.log"; then
    echo "!! $name failed; log $build/$name.log, reproducer in $artifacts" >&2
    tail -n 40 "$build/$name.log" >&2
    status=1
  else
    grep -E '^(stat::number_of_executed_units|stat::average_exec_per_sec|#[0-9]+ *DONE)' \
      "$build/$name.log" || true
  fi
done
exit $status
