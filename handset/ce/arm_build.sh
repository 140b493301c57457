#!/usr/bin/env bash
# Builds the handset side with Debian's bare-metal ARM compiler (gcc-arm-none-eabi), ARM code
# within ARMv4T, no C library:
#
#   arm_build.sh image  OUT.exe WORK_DIR ELF2CE [--werror]
#       the switch tool as a Windows CE ARM image: its logic and CE layer compiled, linked at
#       two bases with the import thunks elf2ce writes, and written as a PE by elf2ce. The PE's
#       timestamp is SOURCE_DATE_EPOCH, or 0 when it is unset, so one commit gives the same
#       bytes on every machine. WORK_DIR keeps quillo.elf, the link the image is written from.
#   arm_build.sh loader OUT WORK_DIR [--werror]
#       ceload, the static ARMv4T Linux program that runs such an image under qemu-arm.
#
# The flags are here once for both, and for the tests that rebuild the image elsewhere.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
handset=$(dirname "$here")
what=$1 out=$2 work=$3
shift 3

flags=(
  -marm -march=armv4t -mthumb-interwork -mfloat-abi=soft -Os -std=c++17
  -ffreestanding -fno-exceptions -fno-rtti -fno-threadsafe-statics -fno-use-cxa-atexit
  # A 2-byte wchar_t, as coredll.dll's wide strings are UTF-16.
  -fshort-wchar -fno-short-enums
  -ffunction-sections -fdata-sections
  -Wall -Wextra -Wshadow -Wnon-virtual-dtor
)
libgcc=$(arm-none-eabi-gcc -marm -march=armv4t -mfloat-abi=soft -print-libgcc-file-name)

mkdir -p "$work"

compile() { # SOURCE OBJECT [FLAGS...]
  local source=$1 object=$2
  shift 2
  arm-none-eabi-g++ "${flags[@]}" "$@" -c "$source" -o "$object"
}

case $what in
image)
  elf2ce=$1
  shift
  [ "${1:-}" = --werror ] && flags+=(-Werror)
  "$elf2ce" thunks "$here/coredll.imports" "$work/imports.S"
  objects=()
  for source in "$handset/SwitchTool.cpp" "$here/Quillo_ce.cpp" "$here/CeStartup.cpp"; do
    object=$work/$(basename "${source%.cpp}").o
    compile "$source" "$object" -I"$handset" -I"$here"
    objects+=("$object")
  done
  arm-none-eabi-gcc -marm -march=armv4t -c "$work/imports.S" -o "$work/imports.o"
  objects+=("$work/imports.o")
  # The same objects at the handset's usual base and at another: every word that differs is an
  # address, which elf2ce then requires to be relocated.
  for link in quillo:0x00010000 quillo-moved:0x5A5A0000; do
    arm-none-eabi-ld -T "$here/quillo.ld" --defsym "IMAGE_BASE=${link#*:}" -q --gc-sections \
      -o "$work/${link%%:*}.elf" "${objects[@]}" "$libgcc"
  done
  "$elf2ce" image --timestamp "${SOURCE_DATE_EPOCH:-0}" "$here/coredll.imports" \
    "$work/quillo.elf" "$work/quillo-moved.elf" "$out"
  ;;
loader)
  [ "${1:-}" = --werror ] && flags+=(-Werror)
  # The copy and clear helpers are loops that the compiler must not turn into calls to
  # themselves.
  flags+=(-fno-tree-loop-distribute-patterns -I"$here/loader" -I"$handset/pe")
  objects=()
  for source in "$here"/loader/{ceload,CeImage,StandIns,Text,Linux}.cpp; do
    object=$work/$(basename "${source%.cpp}").o
    compile "$source" "$object"
    objects+=("$object")
  done
  arm-none-eabi-gcc -marm -march=armv4t -c "$here/loader/start.S" -o "$work/start.o"
  arm-none-eabi-ld -T "$here/loader/ceload.ld" --gc-sections -o "$out.part" \
    "$work/start.o" "${objects[@]}" "$libgcc"
  mv "$out.part" "$out"
  ;;
*)
  echo "usage: arm_build.sh image OUT.exe WORK_DIR ELF2CE [--werror] | loader OUT WORK_DIR [--werror]" >&2
  exit 2
  ;;
esac
