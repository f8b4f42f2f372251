#!/usr/bin/env bash
# Installs what building and testing need on a fresh Debian 12 machine (as root).
set -euo pipefail

packages=(
  cmake make g++ python3 pkg-config
  libgtest-dev libgmock-dev
  mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  wine wine64 wine32:i386
  xvfb xdotool imagemagick
  clang libclang-rt-14-dev
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" || missing+=("$package")
done

if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  dpkg --add-architecture i386
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi
