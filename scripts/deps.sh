#!/usr/bin/env bash
# Installs the Debian packages the builds, tests and demo need, when any is missing.
# Usage: scripts/deps.sh [extra-package...]
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  zlib1g-dev libgcrypt20-dev libcurl4-openssl-dev libgtest-dev libgmock-dev
  g++-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev
  libgcrypt-mingw-w64-dev libgpg-error-mingw-w64-dev
  wine wine64 xvfb xauth imagemagick xdotool x11-apps
  nginx-light openssl curl time
  clang-format-14 clang-14 libclang-rt-14-dev
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
