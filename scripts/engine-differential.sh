#!/usr/bin/env bash
# Proves that the engine of this tree reads and shows numbers exactly as the
# engine of another revision does: both are built with the same compiler and
# the same driver (tests/engine/differential/engine_texts.cpp), which prints
# the bits and texts of COUNT generated number texts, COUNT random doubles and
# COUNT/10 whole runs; the outputs must be the same bytes.
#   usage: scripts/engine-differential.sh [REVISION [COUNT]]   (main, 1000000)
set -euo pipefail

revision=${1:-main}
count=${2:-1000000}
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/other"
git -C "$root" archive "$revision" engine | tar -x -C "$work/other"

build() {  # build ENGINE_DIR OUTPUT
  g++ -std=c++20 -O2 -ffp-contract=off -fno-fast-math \
    -I"$1/include" -I"$1/src" -o "$2" \
    "$root/tests/engine/differential/engine_texts.cpp" "$1"/src/*.cpp
}
build "$root/engine" "$work/this" &
build "$work/other/engine" "$work/that"
wait $!

"$work/this" "$count" > "$work/this.txt"
"$work/that" "$count" > "$work/that.txt"
if cmp "$work/this.txt" "$work/that.txt"; then
  echo "engine-differential: $(wc -l < "$work/this.txt") lines, the same bytes as $revision"
else
  echo "engine-differential: the engine differs from $revision" >&2
  exit 1
fi
