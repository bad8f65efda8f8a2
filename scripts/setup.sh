#!/usr/bin/env bash
# Installs what the build and the tests need, from Debian 12's own packages; installs nothing when
# everything is already there. Runs without a terminal (CI, as root).
set -euo pipefail

packages=(
  cmake g++ make libgtest-dev googletest libbenchmark-dev
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine64 wine fonts-wine xvfb x11-xserver-utils x11-utils xdotool openbox imagemagick
  procps nsis zip unzip xserver-xephyr python3 python3-yaml binutils
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  status="$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)"
  [ "$status" = "install ok installed" ] || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

echo "setup: installing ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "setup: ERROR: need root (or sudo) to install: ${missing[*]}" >&2; exit 1; }
  sudo=(sudo -n)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update </dev/null
"${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}" </dev/null
