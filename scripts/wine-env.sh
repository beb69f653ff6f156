#!/usr/bin/env bash
# The one place that says how Zelmar's Windows programs run under Wine: which
# prefix, which Wine loader, which settings. Every script, the Makefile and
# CTest go through it.
#
# Run it to start a program:
#   scripts/wine-env.sh [--arch win64|win32] [--dpi N] [--] PROGRAM.exe [ARGS]
#   The architecture defaults to the program's own (read from its PE header);
#   the prefix of that architecture is created or updated first. With --dpi
#   the prefix's screen DPI is set before the program starts (it stays so).
#   CTest uses it as the cross-compiling emulator, so any test .exe runs
#   through it.
#
# Or source it:
#   . scripts/wine-env.sh [win64|win32]
#   defines the functions below; with an architecture (or after
#   wine_use_arch win64|win32) it also exports WINEPREFIX, WINEARCH, WINEDEBUG, WINEDLLOVERRIDES and
#   ZELMAR_WINE (the Wine loader of that architecture), and defines
#   wine_prefix_ready (create or update the prefix), wine_set_dpi N and
#   wine_quiet (run a Wine tool without a display and without output).
#
# Prefixes: ${ZELMAR_WINEPREFIX_BASE:-<repository>/build/wineprefix}-win64
# and -win32, one per architecture, so that 32- and 64-bit runs never share
# a prefix or a Wine server. The 32-bit one needs Debian's wine32:i386
# (scripts/install-deps.sh installs it where this machine runs 32-bit code).

zelmar_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Bump when the set-up in wine_prefix_ready changes, so that existing
# prefixes are updated.
zelmar_prefix_version=3

# Prints win64 or win32 for a PE executable, nothing for anything else.
wine_arch_of() {
  python3 - "$1" <<'PY'
import struct, sys
try:
    with open(sys.argv[1], "rb") as f:
        head = f.read(4096)
    pe = struct.unpack_from("<I", head, 0x3C)[0]
    machine = struct.unpack_from("<H", head, pe + 4)[0]
    print({0x8664: "win64", 0x14C: "win32"}.get(machine, ""))
except (OSError, struct.error):
    pass
PY
}

# Sets up the environment for architecture $1 (win64 or win32).
wine_use_arch() {
  case "$1" in
    win64) ZELMAR_WINE=/usr/lib/wine/wine64 ;;
    win32) ZELMAR_WINE=/usr/lib/wine/wine ;;
    *) echo "wine-env: unknown architecture '$1' (win64 or win32)" >&2; return 2 ;;
  esac
  export ZELMAR_WINE
  export WINEARCH=$1
  export WINEPREFIX="${ZELMAR_WINEPREFIX_BASE:-$zelmar_root/build/wineprefix}-$1"
  export WINEDEBUG="${WINEDEBUG:--all}"
  # No Mono or Gecko installer dialogs when a prefix is created.
  export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
  if [ ! -x "$ZELMAR_WINE" ]; then
    if [ "$1" = win32 ]; then
      echo "wine-env: no 32-bit Wine ($ZELMAR_WINE); scripts/install-deps.sh installs wine32:i386 where this machine runs 32-bit code" >&2
    else
      echo "wine-env: no Wine ($ZELMAR_WINE); run scripts/install-deps.sh" >&2
    fi
    return 1
  fi
}

# Runs a Wine tool of the prefix without a display and without output.
wine_quiet() {
  env -u DISPLAY "$ZELMAR_WINE" "$@" >/dev/null 2>&1
}

# Imports registry text (without the header line) into the prefix.
wine_import_reg() {
  local reg_file status=0
  reg_file=$(mktemp --suffix=.reg)
  # regedit reads a UTF-16 file with a byte-order mark.
  python3 - "$reg_file" "$1" <<'PY' || status=$?
import sys
text = "Windows Registry Editor Version 5.00\r\n\r\n" + sys.argv[2].replace("\n", "\r\n")
with open(sys.argv[1], "wb") as f:
    f.write(b"\xff\xfe" + text.encode("utf-16-le"))
PY
  # Wine's drive Z: is the root of this file system.
  [ "$status" -eq 0 ] && wine_quiet regedit /S "Z:${reg_file//\//\\}" || status=$?
  rm -f "$reg_file"
  # A Wine session started without a display cannot show windows later:
  # let it end before the next program starts.
  wineserver -w
  return "$status"
}

# The screen DPI that newly started programs of the prefix see (96 is 100 %).
# Wine takes it from the user's LogPixels value; Xvfb's own DPI plays no part.
wine_set_dpi() {
  local hex
  hex=$(printf '%08x' "$1")
  wine_import_reg '[HKEY_CURRENT_USER\Control Panel\Desktop]
"LogPixels"=dword:'"$hex"'
'
}

# Creates or updates the prefix; quick when it is ready (stamp file). The
# two dialog fonts are mapped to the IPA Gothic fonts, so that the Japanese
# texts render without the Windows fonts, and Wine draws the window frames
# itself (caption, icon, close box), since Xvfb runs without a window
# manager. Several callers may race here (ctest -j): a lock serialises them.
wine_prefix_ready() {
  local stamp="$WINEPREFIX/.zelmar-prefix-$zelmar_prefix_version"
  [ -f "$stamp" ] && return 0
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    [ -f "$stamp" ] && exit 0
    mkdir -p "$WINEPREFIX"
    # Face names as the dialog templates and the heading font name them, and
    # the families of Debian's fonts-ipafont-gothic (see fc-list).
    wine_quiet wineboot --init || true
    wine_import_reg '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"ＭＳ Ｐゴシック"="IPAPGothic"
"ＭＳゴシック"="IPAGothic"

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Decorated"="N"

[HKEY_CURRENT_USER\Control Panel\Desktop]
"LogPixels"=dword:00000060
'
    # The registry reaches the disk only when the server has shut down.
    wineserver -w
    if ! grep -q 'IPAPGothic' "$WINEPREFIX/user.reg" ||
      ! grep -q '"Decorated"="N"' "$WINEPREFIX/user.reg"; then
      echo "wine-env: settings missing in $WINEPREFIX/user.reg" >&2
      exit 1
    fi
    touch "$stamp"
    echo "wine prefix ready: $WINEPREFIX" >&2
  ) 9>"$WINEPREFIX.lock"
}

if [ "${BASH_SOURCE[0]}" != "$0" ]; then
  # Sourced: the environment of the architecture asked for, if any (without
  # arguments of its own, a sourced file sees the caller's).
  case "${1:-}" in
    win64 | win32) wine_use_arch "$1" || return $? ;;
  esac
  return 0
fi

set -euo pipefail
arch=""
dpi=""
while [ $# -gt 0 ]; do
  case "$1" in
    --arch) arch=$2; shift 2 ;;
    --dpi) dpi=$2; shift 2 ;;
    --) shift; break ;;
    *) break ;;
  esac
done
if [ $# -eq 0 ]; then
  echo "usage: $0 [--arch win64|win32] [--dpi N] [--] PROGRAM.exe [ARGS]" >&2
  exit 2
fi
[ -n "$arch" ] || arch=$(wine_arch_of "$1")
[ -n "$arch" ] || { echo "wine-env: $1 is not a Windows executable" >&2; exit 2; }
wine_use_arch "$arch"
wine_prefix_ready
[ -z "$dpi" ] || wine_set_dpi "$dpi"
exec "$ZELMAR_WINE" "$@"
