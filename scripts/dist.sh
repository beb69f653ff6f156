#!/usr/bin/env bash
# Packs the release archives BUILD/dist/Zelmar-<version>-win64.zip and
# -win32.zip from BUILD/win64 and BUILD/win32 (make dist builds both first).
# Each holds Zelmar.exe and the Japanese read-me; the executables stay where
# the builds put them.
set -euo pipefail

build=${1:?usage: dist.sh BUILD}
root=$(cd "$(dirname "$0")/.." && pwd)
version=1.0.0.1
out="$build/dist"
mkdir -p "$out"

for arch in win64 win32; do
  exe="$build/$arch/app/Zelmar.exe"
  [ -f "$exe" ] || { echo "dist: $exe not found (make $arch)" >&2; exit 1; }
  archive="$out/Zelmar-$version-$arch.zip"
  rm -f "$archive"
  python3 - "$archive" "$exe" "$root/dist/README-ja.txt" <<'PY'
import sys
import zipfile

archive, exe, readme = sys.argv[1:4]
with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as z:
    z.write(exe, "Zelmar.exe")
    z.write(readme, "README-ja.txt")
PY
  echo "$archive"
done
