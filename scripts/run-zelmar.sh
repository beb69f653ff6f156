#!/usr/bin/env bash
# Runs BUILD_DIR/app/Zelmar.exe under Wine, at the screen DPI given with
# --dpi (96, that is 100 %, unless given).
# With a display ($DISPLAY set) the program simply starts. Without one, a
# private Xvfb server is started, a sample plan is typed into F1..F6 and
# calculated, a screenshot is saved to BUILD_DIR/screenshots/zelmar-run.png
# (zelmar-run-<dpi>dpi.png at another DPI), and the program and the server
# are closed again.
#   usage: scripts/run-zelmar.sh [--dpi N] BUILD_DIR
set -euo pipefail

dpi=96
if [ "${1:-}" = --dpi ]; then dpi=$2; shift 2; fi
build_dir=${1:?usage: run-zelmar.sh [--dpi N] BUILD_DIR}
exe="$build_dir/app/Zelmar.exe"
[ -f "$exe" ] || { echo "run-zelmar: $exe not found" >&2; exit 1; }

# shellcheck source=scripts/wine-env.sh
. "$(dirname "$0")/wine-env.sh"
wine_use_arch "$(wine_arch_of "$exe")"
wine_prefix_ready
wine_set_dpi "$dpi"
# Wine takes its ANSI code page from the locale: Japanese when available.
if locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
  export LC_ALL=ja_JP.UTF-8
fi

if [ -n "${DISPLAY:-}" ]; then
  exec "$ZELMAR_WINE" "$exe"
fi

for tool in Xvfb xdotool import; do
  command -v "$tool" >/dev/null || {
    echo "run-zelmar: $tool is missing (scripts/install-deps.sh)" >&2
    exit 1
  }
done

# shellcheck source=scripts/xvfb.sh
. "$(dirname "$0")/xvfb.sh"

wine_pid=""
cleanup() {
  if [ -n "$wine_pid" ] && kill -0 "$wine_pid" 2>/dev/null; then
    kill "$wine_pid" 2>/dev/null || true
  fi
  stop_private_xvfb
}
trap cleanup EXIT
start_private_xvfb

"$ZELMAR_WINE" "$exe" &
wine_pid=$!

window=$(wait_for_window Zelmar 600 0.1 "$wine_pid") || {
  echo "run-zelmar: the Zelmar window did not appear" >&2
  exit 1
}
sleep 1  # let the dialog finish painting
type_sample_plan "$window"
sleep 1

shots="$build_dir/screenshots"
mkdir -p "$shots"
shot="$shots/zelmar-run.png"
[ "$dpi" = 96 ] || shot="$shots/zelmar-run-${dpi}dpi.png"
import -window root "$shot"
echo "screenshot: $shot"

# Escape is the cancel command: the program ends.
xdotool key Escape
for _ in $(seq 100); do
  kill -0 "$wine_pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$wine_pid" 2>/dev/null; then
  echo "run-zelmar: Zelmar did not end on Escape" >&2
  exit 1
fi
wait "$wine_pid" || true
wine_pid=""
