#!/usr/bin/env bash
# Installs what building and testing the kit needs on a Debian 12 machine, from Debian's packages.
# Does nothing when everything is already there.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang clang-format libclang-rt-14-dev
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  googletest libboost-dev
  wine wine32 wine64 fonts-wine xvfb x11-utils imagemagick
  tftpd-hpa tftp-hpa curl socat
  # The handset's Quillo.exe: compiled and linked for ARM (no C library needed), run under
  # user-mode ARM emulation by the tree's loader, and read back by independent PE readers.
  gcc-arm-none-eabi qemu-user llvm python3-pefile
)

missing=()
for p in "${packages[@]}"; do
  arch_pkg=$p
  [ "$p" = wine32 ] && arch_pkg=wine32:i386
  dpkg-query -W -f='${Status}' "$arch_pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$arch_pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=
[ "$(id -u)" -ne 0 ] && SUDO=sudo
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
