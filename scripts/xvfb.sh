#!/usr/bin/env bash
# The one place that starts Xvfb for Zelmar's scripts and tests.
#
# Source it: start_private_xvfb [WIDTHxHEIGHT] starts Xvfb on the first free
# display number from 57 on (so that concurrent runs do not collide), exports
# DISPLAY and sets xvfb_pid; stop_private_xvfb ends it again.
# Run it: scripts/xvfb.sh COMMAND [ARGS] runs the command on the display
# already set, or else on a private Xvfb that ends with it.

start_private_xvfb() {
  local size=${1:-1280x1024} number=57
  for number in $(seq 57 199); do
    [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ] && continue
    Xvfb ":$number" -screen 0 "${size}x24" -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
      [ -e "/tmp/.X11-unix/X$number" ] && break
      kill -0 "$xvfb_pid" 2>/dev/null || break
      sleep 0.1
    done
    if [ -e "/tmp/.X11-unix/X$number" ] && kill -0 "$xvfb_pid" 2>/dev/null; then
      export DISPLAY=":$number"
      return 0
    fi
    xvfb_pid=""  # lost a race for this display number; try the next one
  done
  echo "Xvfb did not start on any display from :57 on" >&2
  return 1
}

stop_private_xvfb() {
  if [ -n "${xvfb_pid:-}" ] && kill -0 "$xvfb_pid" 2>/dev/null; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  xvfb_pid=""
}

# Prints the id of the visible window titled exactly $1 as soon as it
# appears; polls every $3 seconds, at most $2 times, and gives up early when
# process $4 has ended.
wait_for_window() {
  local id=""
  for _ in $(seq "$2"); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1) || true
    [ -n "$id" ] && { echo "$id"; return 0; }
    kill -0 "$4" 2>/dev/null || return 1
    sleep "$3"
  done
  return 1
}

# Types a sample plan into F1..F6 of the freshly started dialog $1 and
# presses Enter, which runs Calculate: the focus starts on Calculate, and
# Tab, Tab reaches F1.
type_sample_plan() {
  xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"
  xdotool key --delay 50 Tab Tab
  for frequency in 806.125 806.375 806.250 807.000 770.500 806.125; do
    xdotool type --delay 30 "$frequency"
    xdotool key --delay 50 Tab
  done
  xdotool key Return
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -euo pipefail
  [ $# -gt 0 ] || { echo "usage: $0 COMMAND [ARGS]" >&2; exit 2; }
  if [ -n "${DISPLAY:-}" ]; then exec "$@"; fi
  trap stop_private_xvfb EXIT
  start_private_xvfb
  status=0
  "$@" || status=$?
  exit "$status"
fi
