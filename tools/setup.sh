#!/usr/bin/env bash
# Installs what building and testing the installer needs on Debian 12.
# Safe to run again: packages already present are left alone.
set -eu

packages=(
  cmake ninja-build python3
  g++-mingw-w64-x86-64-posix
  wine wine64
  libz-mingw-w64-dev lzma-dev nlohmann-json3-dev googletest
  7zip osslsigncode openssl xxd unzip curl lldb
  clang libclang-rt-14-dev zlib1g-dev
  xvfb xauth
  fonts-wqy-microhei fonts-dejavu-core
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
echo "Installing: ${missing[*]}"
$sudo env DEBIAN_FRONTEND=noninteractive apt-get update -q
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
