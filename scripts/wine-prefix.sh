#!/usr/bin/env bash
# Creates or updates the Wine prefix $WINEPREFIX for running Zelmar.exe and
# its tests. Quick when the prefix is already set up (stamp file).
# The two dialog fonts are mapped to the IPA Gothic fonts, so that the
# Japanese texts render on a machine without the Windows fonts, and Wine
# draws the window frames itself (caption, icon, close box), since Xvfb runs
# without a window manager.
set -euo pipefail

: "${WINEPREFIX:=$(pwd)/build/wineprefix}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

# Bump when the set-up below changes, so existing prefixes are updated.
stamp_version=2
stamp="$WINEPREFIX/.zelmar-prefix-$stamp_version"
[ -f "$stamp" ] && exit 0

mkdir -p "$WINEPREFIX"
# No display is needed to create the prefix.
env -u DISPLAY wineboot --init >/dev/null 2>&1 || true

# Face names as the dialog templates and the heading font name them, and the
# families of Debian's fonts-ipafont-gothic (see fc-list).
reg_file=$(mktemp --suffix=.reg)
trap 'rm -f "$reg_file"' EXIT
python3 - "$reg_file" <<'PY'
import sys
text = (
    "Windows Registry Editor Version 5.00\r\n\r\n"
    "[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n"
    "\"ＭＳ Ｐゴシック\"=\"IPAPGothic\"\r\n"
    "\"ＭＳゴシック\"=\"IPAGothic\"\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"
    "\"Decorated\"=\"N\"\r\n"
)
# regedit reads a UTF-16 file with a byte-order mark.
with open(sys.argv[1], "wb") as f:
    f.write(b"\xff\xfe" + text.encode("utf-16-le"))
PY
env -u DISPLAY wine regedit /S "$(winepath -w "$reg_file" 2>/dev/null)" \
  >/dev/null 2>&1
# The registry reaches the disk only when the server has shut down.
wineserver -w

if ! grep -q 'IPAPGothic' "$WINEPREFIX/user.reg" ||
  ! grep -q '"Decorated"="N"' "$WINEPREFIX/user.reg"; then
  echo "wine-prefix: settings missing in $WINEPREFIX/user.reg" >&2
  exit 1
fi
touch "$stamp"
echo "wine prefix ready: $WINEPREFIX"
