#!/usr/bin/env bash
# Packs the release archives BUILD/dist/Zelmar-<version>-win64.zip and
# -win32.zip from BUILD/win64 and BUILD/win32 (make dist builds both first).
# Each holds Zelmar.exe, the command-line tools, the offline page zelmar.html
# (BUILD/web, make web) and the Japanese read-me; the
# executables stay where the builds put them. The version and the read-me come from the builds,
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

# The programs of a release, by their place in a build.
programs=(app/Zelmar.exe cli/zelmar-check.exe cli/zelmar-plan.exe)

for arch in win64 win32; do
  files=()
  for program in "${programs[@]}"; do
    exe="$build/$arch/$program"
    [ -f "$exe" ] || { echo "dist: $exe not found (make $arch)" >&2; exit 1; }
    files+=("$exe")
  done
  page="$build/web/zelmar.html"
  [ -f "$page" ] || { echo "dist: $page not found (make web)" >&2; exit 1; }
  files+=("$page")
  archive="$out/Zelmar-$version-$arch.zip"
  rm -f "$archive"
  python3 - "$archive" "$build/$arch/dist/README-ja.txt" "${files[@]}" <<'PY'
import os
import sys
import zipfile

archive, readme, *programs = sys.argv[1:]
# Notepad before Windows 10 knows UTF-8 only by its byte-order mark and
# ends lines only at CR LF.
with open(readme, encoding="utf-8") as f:
    text = f.read().replace("\r\n", "\n").replace("\n", "\r\n")
with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as z:
    for program in programs:
        z.write(program, os.path.basename(program))
    z.writestr("README-ja.txt", ("\ufeff" + text).encode("utf-8"))
PY
  echo "$archive"
done
