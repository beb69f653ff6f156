#!/usr/bin/env bash
# Fails unless the given Windows executable imports only DLLs that come with
# Windows itself.
set -euo pipefail
exe=$1
allowed='^(KERNEL32|USER32|GDI32|COMCTL32|msvcrt|ADVAPI32|SHELL32)\.dll$'
dlls=$(objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')
[ -n "$dlls" ] || { echo "no imports found in $exe" >&2; exit 1; }
shopt -s nocasematch
status=0
while read -r dll; do
  if [[ "$dll" =~ $allowed ]]; then echo "ok   $dll"; else echo "FAIL $dll" >&2; status=1; fi
done <<<"$dlls"
exit $status
