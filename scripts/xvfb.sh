# Sourced by the scripts that drive Zelmar.exe on an X display.
# start_private_xvfb starts Xvfb on the first free display number from 57 on,
# exports DISPLAY and sets xvfb_pid; stop_private_xvfb ends it again.

start_private_xvfb() {
  local number=57
  while [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ]; do
    number=$((number + 1))
  done
  export DISPLAY=":$number"
  Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    xdotool getdisplaygeometry >/dev/null 2>&1 && return 0
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  echo "Xvfb did not start on $DISPLAY" >&2
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
