#!/usr/bin/env bash
# Compiles Quillo's Windows CE layer and its logic for 32-bit ARM Windows with clang, against
# the layer's own declarations, and checks that the objects are ARM (Thumb-2) COFF. This proves
# the code compiles for ARM; it does not link it, nor run it on a handset.
#   arm_compile_check.sh CLANG++ HANDSET_DIR OUT_DIR
set -euo pipefail
clang=$1 src=$2 out=$3
mkdir -p "$out"
for unit in ce/Quillo_ce.cpp SwitchTool.cpp; do
  obj="$out/$(basename "${unit%.cpp}").obj"
  "$clang" --target=thumbv7-windows-msvc -ffreestanding -fno-exceptions -fno-rtti \
    -Wall -Wextra -Werror -Wshadow -Wnon-virtual-dtor -I"$src" -c "$src/$unit" -o "$obj"
  # The COFF header's first two bytes name the machine: 0x01C4, ARM Thumb-2, little-endian.
  machine=$(od -An -tx1 -N2 "$obj" | tr -d ' \n')
  if [ "$machine" != c401 ]; then
    echo "$obj: machine $machine, not ARM Thumb-2 (c401)"
    exit 1
  fi
  echo "$obj: ARM Thumb-2 COFF object"
done
