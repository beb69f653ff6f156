#!/usr/bin/env bash
# Does this machine run 32-bit x86 programs? Exit status 0 when it does;
# otherwise 1 and one line on standard output saying why not. With --wine,
# 32-bit Wine (Debian's wine32:i386) must be installed as well.
set -uo pipefail

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
printf 'int main(void) { return 0; }\n' >"$dir/probe.c"
if ! gcc -m32 -static "$dir/probe.c" -o "$dir/probe" >/dev/null 2>&1; then
  echo "gcc -m32 -static cannot build a 32-bit program here (g++-multilib missing?)"
  exit 1
fi
if ! "$dir/probe" >/dev/null 2>&1; then
  echo "this kernel does not run 32-bit x86 programs"
  exit 1
fi
if [ "${1:-}" = --wine ] && [ ! -x /usr/lib/wine/wine ]; then
  echo "32-bit Wine (wine32:i386) is not installed; scripts/install-deps.sh installs it"
  exit 1
fi
exit 0
