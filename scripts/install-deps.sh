#!/usr/bin/env bash
# Installs every Debian package the build and the tests need, and nothing
# when all of them are present already. Safe to run again and again.
set -euo pipefail

packages=(
  build-essential cmake make git python3 clang-format
  googletest libgtest-dev libbenchmark-dev nlohmann-json3-dev
  clang libclang-rt-14-dev
  g++-multilib qemu-user
  g++-mingw-w64-x86-64 g++-mingw-w64-i686
  binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine wine64 xvfb xauth x11-apps fonts-ipafont-gothic imagemagick
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
