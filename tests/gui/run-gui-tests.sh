#!/usr/bin/env bash
# Runs the GUI test driver under Wine against Zelmar.exe, once per locale
# (Wine takes its ANSI code page from LC_ALL). Starts a private Xvfb when no
# display is set and stops it at the end.
#
#   run-gui-tests.sh [--locale L]... --driver D.exe --exe Zelmar.exe
#                    [--emulator wine] [-- gtest arguments]
# Without --locale both ja_JP.UTF-8 and en_US.UTF-8 are run.
set -euo pipefail

locales=()
driver=""
exe=""
emulator="wine"
while [ $# -gt 0 ]; do
  case "$1" in
    --locale) locales+=("$2"); shift 2 ;;
    --driver) driver="$2"; shift 2 ;;
    --exe) exe="$2"; shift 2 ;;
    --emulator) emulator="${2:-wine}"; shift 2 ;;
    --) shift; break ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
  esac
done
[ ${#locales[@]} -gt 0 ] || locales=(ja_JP.UTF-8 en_US.UTF-8)
if [ -z "$driver" ] || [ -z "$exe" ]; then
  echo "usage: $0 [--locale L]... --driver D.exe --exe Zelmar.exe [-- gtest args]" >&2
  exit 2
fi
for f in "$driver" "$exe"; do
  [ -f "$f" ] || { echo "missing: $f" >&2; exit 2; }
done

repo="$(cd "$(dirname "$0")/../.." && pwd)"
export WINEPREFIX="${WINEPREFIX:-$repo/build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

# Xvfb runs without a window manager, and Wine waits 2 s for every window it
# manages to be hidden, for a WM_STATE change that never comes (each about
# box would cost 2 s). Zelmar's windows are left unmanaged during the run.
zelmar_x11_key='HKCU\Software\Wine\AppDefaults\Zelmar.exe\X11 Driver'
reg_quiet() { env -u DISPLAY "$emulator" reg "$@" >/dev/null 2>&1 || true; }

xvfb_pid=""
cleanup() {
  reg_quiet delete "$zelmar_x11_key" /f
  # Let this prefix's Wine session end before its display goes away.
  timeout 30 wineserver -w 2>/dev/null || true
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 199); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 1 100); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      kill -0 "$xvfb_pid" 2>/dev/null || break
      sleep 0.1
    done
    if [ -e "/tmp/.X11-unix/X$n" ] && kill -0 "$xvfb_pid" 2>/dev/null; then
      export DISPLAY=":$n"
      break
    fi
    xvfb_pid=""  # lost a race for this display number; try the next one
  done
  [ -n "${DISPLAY:-}" ] || { echo "cannot start Xvfb" >&2; exit 1; }
fi

win_exe="$(winepath -w "$exe" 2>/dev/null)"
reg_quiet add "$zelmar_x11_key" /v Managed /t REG_SZ /d N /f
status=0
for loc in "${locales[@]}"; do
  echo "=== GUI tests under LC_ALL=$loc (DISPLAY=$DISPLAY) ==="
  start=$(date +%s)
  # A new locale needs a fresh Wine session: wait for the previous one to end.
  timeout 30 wineserver -w 2>/dev/null || true
  if LC_ALL="$loc" "$emulator" "$driver" "--exe=$win_exe" "$@"; then
    echo "=== $loc: passed in $(( $(date +%s) - start )) s ==="
  else
    echo "=== $loc: FAILED after $(( $(date +%s) - start )) s ===" >&2
    status=1
  fi
done
exit $status
