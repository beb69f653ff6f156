#!/usr/bin/env bash
# Runs the GUI test driver under Wine against Zelmar.exe, once per locale
# (Wine takes its ANSI code page from LC_ALL), at the given screen DPI.
# Starts a private Xvfb when no display is set and stops it at the end.
#
#   run-gui-tests.sh [--locale L]... [--dpi N] --driver D.exe --exe Zelmar.exe
#                    [-- gtest arguments]
# Without --locale both ja_JP.UTF-8 and en_US.UTF-8 are run; the DPI is 96
# (100 %) unless given. The prefix is that of the driver's architecture.
set -euo pipefail

locales=()
driver=""
exe=""
dpi=96
while [ $# -gt 0 ]; do
  case "$1" in
    --locale) locales+=("$2"); shift 2 ;;
    --dpi) dpi="$2"; shift 2 ;;
    --driver) driver="$2"; shift 2 ;;
    --exe) exe="$2"; shift 2 ;;
    --) shift; break ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
  esac
done
[ ${#locales[@]} -gt 0 ] || locales=(ja_JP.UTF-8 en_US.UTF-8)
if [ -z "$driver" ] || [ -z "$exe" ]; then
  echo "usage: $0 [--locale L]... [--dpi N] --driver D.exe --exe Zelmar.exe [-- gtest args]" >&2
  exit 2
fi
exe=$(realpath "$exe")
for f in "$driver" "$exe"; do
  [ -f "$f" ] || { echo "missing: $f" >&2; exit 2; }
done

scripts="$(cd "$(dirname "$0")/../../scripts" && pwd)"
# shellcheck source=scripts/wine-env.sh
. "$scripts/wine-env.sh"
wine_use_arch "$(wine_arch_of "$driver")"
# shellcheck source=scripts/xvfb.sh
. "$scripts/xvfb.sh"
wine_prefix_ready

# Xvfb runs without a window manager, and Wine waits 2 s for every window it
# manages to be hidden, for a WM_STATE change that never comes (each about
# box would cost 2 s). Zelmar's windows are left unmanaged during the run.
zelmar_x11_key='HKCU\Software\Wine\AppDefaults\Zelmar.exe\X11 Driver'

cleanup() {
  wine_quiet reg delete "$zelmar_x11_key" /f || true
  # Let this prefix's Wine session end before its display goes away.
  timeout 30 wineserver -w 2>/dev/null || true
  stop_private_xvfb
}
trap cleanup EXIT

[ -n "${DISPLAY:-}" ] || start_private_xvfb

win_exe="Z:${exe//\//\\}"
wine_quiet reg add "$zelmar_x11_key" /v Managed /t REG_SZ /d N /f || true
# Every run states its DPI, so that a run at another DPI leaves nothing behind.
wine_set_dpi "$dpi"
status=0
for loc in "${locales[@]}"; do
  echo "=== GUI tests under LC_ALL=$loc, $dpi DPI, $WINEARCH (DISPLAY=$DISPLAY) ==="
  start=$(date +%s)
  # A new locale needs a fresh Wine session: wait for the previous one to end.
  timeout 30 wineserver -w 2>/dev/null || true
  if LC_ALL="$loc" "$ZELMAR_WINE" "$driver" "--exe=$win_exe" "--dpi=$dpi" "$@"; then
    echo "=== $loc: passed in $(( $(date +%s) - start )) s ==="
  else
    echo "=== $loc: FAILED after $(( $(date +%s) - start )) s ===" >&2
    status=1
  fi
done
exit $status
