#!/usr/bin/env bash
# Builds the offline page: the engine, the planner and the tools' JSON
# writer compiled to WebAssembly (wasm32-wasi, Debian's clang 14 and its
# wasm32 C and C++ libraries), then web/page.html with the script, the style
# and the module (base64, once) put inside OUT_DIR/zelmar.html.
#   usage: scripts/build-web.sh OUT_DIR
set -euo pipefail

out=${1:?usage: build-web.sh OUT_DIR}
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$out/headers" "$out/obj"
# The build machine's header-only libraries, and nothing else of /usr/include.
for lib in fast_float nlohmann; do
  ln -sfn "/usr/include/$lib" "$out/headers/$lib"
done
version=$(sed -n 's/^project(Zelmar VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")

# The engine's flags (cmake/CompilerFlags.cmake): exact IEEE 754 doubles.
flags=(
  --target=wasm32-wasi --sysroot=/usr -std=c++20 -O2 -DNDEBUG
  -Wall -Wextra -Werror -ffp-contract=off -fno-fast-math -fno-exceptions
  -ffunction-sections -fdata-sections -D_WASI_EMULATED_SIGNAL
  -DJSON_HAS_FILESYSTEM=0 -DJSON_HAS_EXPERIMENTAL_FILESYSTEM=0 -DZELMAR_NO_THREADS
  "-DZELMAR_VERSION=\"$version\""
  -I"$root/engine/include" -I"$root/engine/src" -I"$root/planner/include" -I"$root/planner/src"
  -I"$root/show/include" -I"$root/show/src"
  -I"$root/cli" -I"$root/platform/include" -I"$root/web" -isystem "$out/headers"
)
# The engine's, the planner's and the show library's sources as their own
# CMakeLists.txt name them: a new room of any is in the page without a word
# here.
library_sources() {
  sed -n "/^add_library($2 STATIC/,/)/p" "$root/$1/CMakeLists.txt" |
    sed -n "s|^ *\(src/[a-z_0-9/]*\.cpp\).*|$1/\1|p"
}
mapfile -t engine_sources < <(library_sources engine zelmar_engine)
mapfile -t planner_sources < <(library_sources planner zelmar_planner)
mapfile -t show_sources < <(library_sources show zelmar_show)
[ ${#engine_sources[@]} -gt 0 ] && [ ${#planner_sources[@]} -gt 0 ] && [ ${#show_sources[@]} -gt 0 ] ||
  { echo "build-web.sh: no engine, planner or show sources found in their CMakeLists.txt" >&2; exit 1; }
sources=(
  "${engine_sources[@]}" "${planner_sources[@]}" "${show_sources[@]}"
  cli/cli.cpp cli/json_writer.cpp cli/plan_options.cpp cli/plan_values.cpp
  cli/plan_refusals.cpp cli/plan_usage.cpp
  cli/plan_report.cpp cli/plan_run.cpp cli/plan_words.cpp cli/analysis_report.cpp
  cli/plan_show.cpp cli/scan_report.cpp
  platform/src/streams_posix.cpp
  web/zelmar_web.cpp web/check_readings.cpp web/best_so_far.cpp web/page_request.cpp web/picture_data.cpp
  web/plan_refusal.cpp
)
objects=()
stale=()
for source in "${sources[@]}"; do
  object="$out/obj/${source//\//_}.o"
  objects+=("$object")
  # Headers change rarely; any newer file of the tree rebuilds everything.
  if [ ! -f "$object" ] || [ -n "$(find "$root/engine" "$root/planner" "$root/show" "$root/platform" \
       "$root/cli" "$root/web" -newer "$object" -name '*.[ch]*' | head -1)" ]; then
    stale+=("$source")
  fi
done
# The searches and the check are built for speed; what runs once a request
# (options, answers, show files, scans) for size, which halves its share of
# the module.
if [ ${#stale[@]} -gt 0 ]; then
  printf '%s\n' "${stale[@]}" | xargs -P "${JOBS:-2}" -I{} sh -c \
    'root=$0 out=$1; shift; case {} in
       cli/*|web/*|platform/*|show/*) size=-Oz ;;
       *) size= ;;
     esac
     clang++-14 "$@" $size -c "$root/{}" -o "$out/obj/$(echo {} | tr / _).o"' \
    "$root" "$out" "${flags[@]}"
fi
clang++-14 --target=wasm32-wasi --sysroot=/usr -mexec-model=reactor \
  -Wl,--gc-sections -Wl,--strip-all -o "$out/zelmar.wasm" "${objects[@]}" \
  -lwasi-emulated-signal

[ -f "$root/web/inline.py" ] && python3 "$root/web/inline.py" "$root/web" "$out/zelmar.wasm" "$out/zelmar.html"
