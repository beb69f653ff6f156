#!/usr/bin/env bash
# Packs the release archives BUILD/dist/Zelmar-<version>-win64.zip and
# -win32.zip from BUILD/win64 and BUILD/win32 (make dist builds both first).
# Each holds Zelmar.exe and the Japanese read-me; the executables stay where
# the builds put them. The version and the read-me come from the builds,
# which make them from the project version.
set -euo pipefail

build=${1:?usage: dist.sh BUILD}
version=$(cat "$build/win64/dist/version.txt")
if [ "$version" != "$(cat "$build/win32/dist/version.txt")" ]; then
  echo "dist: $build/win64 and $build/win32 are builds of different versions" >&2
  exit 1
fi
out="$build/dist"
mkdir -p "$out"

for arch in win64 win32; do
  exe="$build/$arch/app/Zelmar.exe"
  [ -f "$exe" ] || { echo "dist: $exe not found (make $arch)" >&2; exit 1; }
  archive="$out/Zelmar-$version-$arch.zip"
  rm -f "$archive"
  python3 - "$archive" "$exe" "$build/$arch/dist/README-ja.txt" <<'PY'
import sys
import zipfile

archive, exe, readme = sys.argv[1:4]
with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as z:
    z.write(exe, "Zelmar.exe")
    z.write(readme, "README-ja.txt")
PY
  echo "$archive"
done
