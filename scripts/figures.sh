#!/usr/bin/env bash
# Prints the figures the README quotes, measured on this machine:
# Zelmar.exe size and imports for both builds, time from start to a visible
# dialog under Wine (median of 5 starts), and the process's peak memory after
# a Calculate run. `make figures` builds first and runs the benchmarks too.
#   usage: scripts/figures.sh BUILD_DIR
set -euo pipefail

build=${1:?usage: figures.sh BUILD_DIR}
# shellcheck source=scripts/wine-env.sh
. "$(dirname "$0")/wine-env.sh" win64
wine_prefix_ready
wine_set_dpi 96

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs)"
for arch in win64 win32; do
  exe="$build/$arch/app/Zelmar.exe"
  imports=$(objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr '\n' ' ')
  echo "$arch Zelmar.exe: $(stat -c %s "$exe") bytes; imports: $imports"
done

# shellcheck source=scripts/xvfb.sh
. "$(dirname "$0")/xvfb.sh"
wine_pid=""
cleanup() {
  [ -n "$wine_pid" ] && kill "$wine_pid" 2>/dev/null || true
  stop_private_xvfb
}
trap cleanup EXIT
[ -n "${DISPLAY:-}" ] || start_private_xvfb

exe="$build/win64/app/Zelmar.exe"
# Start one Wine server up front, so that each start measures the program
# and not the server's own start-up.
# Detached from our output, or a pipe reading it would wait for the server.
wineserver -p 30 >/dev/null 2>&1 || true  # already running is fine
times=()
for run in 1 2 3 4 5; do
  start=$(date +%s%N)
  "$ZELMAR_WINE" "$exe" &
  wine_pid=$!
  window=$(wait_for_window Zelmar 3000 0.01 "$wine_pid") || true
  [ -n "$window" ] || { echo "figures: no dialog appeared" >&2; exit 1; }
  times+=($((($(date +%s%N) - start) / 1000000)))
  if [ "$run" -lt 5 ]; then
    kill "$wine_pid"; wait "$wine_pid" 2>/dev/null || true
  fi
done
median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n 3p)
echo "start to visible dialog under Wine: median ${median} ms (runs: ${times[*]} ms)"

# Peak memory of the last instance after one Calculate on a sample plan.
type_sample_plan "$window"
sleep 1
pid=$(pgrep -f 'Zelmar\.exe$' | head -n1)
echo "peak memory (VmHWM) of the Zelmar.exe process under Wine: $(sed -n 's/^VmHWM:\s*//p' "/proc/$pid/status")"
xdotool key Escape
wait "$wine_pid" 2>/dev/null || true
wine_pid=""
