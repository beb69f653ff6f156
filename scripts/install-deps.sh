#!/usr/bin/env bash
# Installs the Debian packages that are missing, and nothing when all of
# them are present already. Safe to run again and again.
#   usage: install-deps.sh [--run]
# --run: only what building Zelmar.exe and showing it under Wine needs
# (`make run`); without it, everything the tools, the tests and the release
# archives need as well.
set -euo pipefail

run_only=false
[ "${1:-}" = --run ] && run_only=true

packages=(
  build-essential cmake make python3 libfast-float-dev
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
  wine wine64 xvfb xauth fonts-ipafont-gothic imagemagick locales xdotool
)
if ! $run_only; then
  packages+=(
    git clang-format
    googletest libgtest-dev libbenchmark-dev nlohmann-json3-dev
    libboost1.81-dev
    clang libclang-rt-14-dev
    g++-multilib qemu-user
    g++-mingw-w64-i686 binutils-mingw-w64-i686
    x11-apps zip
    wasi-libc libc++-14-dev-wasm32 libc++abi-14-dev-wasm32
    libclang-rt-14-dev-wasm32 lld-14
    chromium nodejs
    mmdebstrap
  )
fi

# npm comes with some builds of nodejs and as a package of its own in Debian.
if ! $run_only && ! command -v npm >/dev/null; then
  packages+=(npm)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# 32-bit Windows programs run under Wine only where this machine runs 32-bit
# x86 code at all (scripts/probe-32bit.sh): then Debian's i386 architecture
# and wine32 are added, and `make test` runs the i686 build under Wine too.
if ! $run_only && "$(dirname "$0")/probe-32bit.sh" >/dev/null &&
   ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
  echo "installing: wine32:i386 (this machine runs 32-bit x86 code)"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends wine32:i386
fi

# The GUI tests run Wine under ja_JP.UTF-8 and en_US.UTF-8 (Wine takes its
# ANSI code page from LC_ALL), so both locales must exist.
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8' ||
   ! locale -a 2>/dev/null | grep -qix 'en_US.utf8'; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  if ! dpkg-query -W -f='${Status}' locales 2>/dev/null | grep -q 'install ok installed'; then
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends locales
  fi
  $sudo sed -i -E 's/^# *(ja_JP\.UTF-8 UTF-8)/\1/; s/^# *(en_US\.UTF-8 UTF-8)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  grep -q '^en_US.UTF-8 UTF-8' /etc/locale.gen || echo 'en_US.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  $sudo locale-gen >/dev/null
fi

# The browser tests' driver, pinned by tests/web/package-lock.json; it uses
# Debian's Chromium, so no browser is downloaded.
if ! $run_only; then
  web_tests="$(dirname "$0")/../tests/web"
  installed=$(cd "$web_tests" && node -p "const l = require('./package-lock.json');
    l.packages['node_modules/playwright-core'].version ===
      require('./node_modules/playwright-core/package.json').version" 2>/dev/null || true)
  if [ "$installed" != true ]; then
    (cd "$web_tests" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error)
  fi
fi
