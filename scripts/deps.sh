#!/usr/bin/env bash
# Installs the Debian packages the builds, tests and demo need, when any is missing, and puts
# the source of Debian's libdeflate (the version the Linux build links) in third_party/libdeflate
# for the Windows build to compile, adding a deb-src entry for Debian's archive when the system
# has none.
# Usage: scripts/deps.sh [extra-package...]
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  zlib1g-dev libdeflate-dev libgcrypt20-dev libcurl4-openssl-dev libgtest-dev libgmock-dev
  g++-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev
  libgcrypt-mingw-w64-dev libgpg-error-mingw-w64-dev
  wine wine64 xvfb xauth imagemagick xdotool x11-apps
  nginx-light openssl curl time nsis osslsigncode
  clang-format-14 clang-14 libclang-rt-14-dev dpkg-dev
  "$@"
)

cd "$(dirname "$0")/.."
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# ---- libdeflate's source for the Windows build ---------------------------------------------------
# Debian ships no mingw build of libdeflate; the Windows build compiles the same version from
# Debian's source package. third_party/ is not committed; the stamp names the version fetched.
version=$(dpkg-query -W -f='${source:Version}' libdeflate-dev)
stamp=third_party/libdeflate/debian-version
[ "$(cat "$stamp" 2>/dev/null)" = "$version" ] && exit 0

apt_sources=(/etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources)
if ! grep -qsE '^[[:space:]]*deb-src[[:space:]]|^Types:.*deb-src' "${apt_sources[@]}"; then
  # The same archives as the binary packages, for sources: one-line "deb" entries of
  # sources.list and the stanzas of Debian's own debian.sources.
  echo "Adding a deb-src entry for Debian's archive"
  if [ -f /etc/apt/sources.list ]; then
    sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' /etc/apt/sources.list |
      "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/quillmark-deb-src.list >/dev/null
  fi
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    awk 'BEGIN { RS = ""; ORS = "\n" }
         { n = split($0, line, "\n"); out = ""; binary = 0
           for (i = 1; i <= n; i++) {
             if (line[i] ~ /^Types:/) {
               if (line[i] ~ /[[:space:]]deb([[:space:]]|$)/) binary = 1
               line[i] = "Types: deb-src"
             }
             out = out line[i] "\n"
           }
           if (binary) print out }' /etc/apt/sources.list.d/debian.sources |
      "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/quillmark-deb-src.sources >/dev/null
  fi
  "${sudo_cmd[@]}" apt-get update -qq
fi
rm -rf third_party/libdeflate third_party/libdeflate-fetch
mkdir -p third_party/libdeflate-fetch
(cd third_party/libdeflate-fetch && apt-get source -qq "libdeflate=$version" >/dev/null)
mv third_party/libdeflate-fetch/libdeflate-*/ third_party/libdeflate
rm -rf third_party/libdeflate-fetch
echo "$version" >"$stamp"
