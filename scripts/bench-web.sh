#!/usr/bin/env bash
# The page's figures: its size, RunChannelCheck's time per run inside the
# WebAssembly module under node against the same function built natively,
# and the page's timings in headless Chromium (tests/web/web_test.js --bench).
#   usage: scripts/bench-web.sh BUILD   (make bench-web builds BUILD/web and
#          BUILD/native first)
set -euo pipefail

build=${1:?usage: bench-web.sh BUILD}
root=$(cd "$(dirname "$0")/.." && pwd)
fields=(806.125 806.250 806.500 806.875 807.125 807.625 808.000 808.375
        808.625 809.125 809.500 809.750)
runs=200000

echo "figure: zelmar.html $(stat -c %s "$build/web/zelmar.html") bytes (module $(stat -c %s "$build/web/zelmar.wasm") bytes)"

# The native build with the flags of the Release build and the engine's own.
native="$build/web/time_check_native"
g++ -std=c++20 -O3 -DNDEBUG -ffp-contract=off -fno-fast-math -DZELMAR_VERSION='"0"' \
  -I"$root/engine/include" -I"$root/engine/src" -I"$root/planner/include" \
  -I"$root/planner/src" -I"$root/show/include" -I"$root/show/src" \
  -I"$root/cli" -I"$root/platform/include" -I"$root/web" -isystem "$build/web/headers" \
  -o "$native" "$root"/web/*.cpp "$root"/engine/src/*.cpp \
  $(find "$root/planner/src" "$root/show/src" -name '*.cpp') \
  $(ls "$root"/cli/*.cpp | grep -v '_main\.cpp$') "$root/platform/src/streams_posix.cpp"
best() { sort -n | head -1; }
native_ns=$(for _ in 1 2 3 4 5; do "$native" "$runs" "${fields[@]}"; done | best)
wasm_ns=$(for _ in 1 2 3 4 5; do
  node -e '
    const { zelmarCore } = require(process.argv[1]);
    zelmarCore().load(require("fs").readFileSync(process.argv[2])).then((z) => {
      // A first round lets the engine compile the module fully optimised.
      z.timeCheck(process.argv.slice(4), +process.argv[3]);
      console.log(z.timeCheck(process.argv.slice(4), +process.argv[3]).toFixed(1));
    });
  ' "$root/web/core.js" "$build/web/zelmar.wasm" "$runs" "${fields[@]}"
done | best)
echo "figure: RunChannelCheck, 12 fields: native ${native_ns} ns, WebAssembly under node ${wasm_ns} ns per run ($(awk -v w="$wasm_ns" -v n="$native_ns" 'BEGIN { printf "%.2f", w / n }')x)"

node "$root/tests/web/web_test.js" "$build/web/zelmar.html" \
  "$build/native/cli/zelmar-check" "$build/native/cli/zelmar-plan" \
  "$build/web/screenshots" --bench
