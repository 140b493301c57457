#!/usr/bin/env bash
# Checks of the handset's Quillo.exe with tools other than those that made it:
#
#   image_checks.sh structure IMAGE IMPORT-LIST PYTHON3
#       llvm-readobj and python3-pefile read it as a Windows CE ARM program: machine 0x01C2,
#       subsystem 9, versions 5.0, imports from coredll.dll only (the import list's functions,
#       in its order), HIGHLOW relocations each pointing into the image, a right checksum.
#   image_checks.sh instructions ELF...
#       no Thumb code and no instruction newer than ARMv4T in the linked programs; first shown to
#       find both in an object that has them.
#   image_checks.sh reproducible IMAGE ARM_BUILD ELF2CE
#       the image built again from the same sources in two other folders is the same bytes, and
#       SOURCE_DATE_EPOCH is its timestamp.
set -euo pipefail

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

structure() {
  local image=$1 imports=$2 python=$3
  local headers
  headers=$(llvm-readobj --file-headers --coff-imports --coff-basereloc "$image")
  expect() { grep -qE "$1" <<<"$headers" || fail "llvm-readobj shows no \"$1\""; }
  expect '^ *Machine: .*\(0x1C2\)$'
  expect '^ *Subsystem: IMAGE_SUBSYSTEM_WINDOWS_CE_GUI \(0x9\)$'
  expect '^ *MajorOperatingSystemVersion: 5$'
  expect '^ *MajorSubsystemVersion: 5$'
  expect '^ *MinorSubsystemVersion: 0$'
  expect '^ *IMAGE_FILE_EXECUTABLE_IMAGE'
  grep -q 'IMAGE_FILE_RELOCS_STRIPPED' <<<"$headers" && fail "relocations marked as stripped"
  [ "$(grep -cE '^ *Name: ' <<<"$headers")" = 1 ] || fail "more than one imported library"
  expect '^ *Name: coredll.dll$'
  local imported listed
  imported=$(sed -nE 's/^ *Symbol: ([A-Za-z0-9_]+) \(0\)$/\1/p; s/^ *Symbol:  \(([0-9]+)\)$/@\1/p' <<<"$headers")
  listed=$(sed -E 's/#.*//' "$imports" | awk 'NF == 1 { print $1 } NF == 2 { print $2 }' | tr -d '\r')
  [ "$imported" = "$listed" ] || fail "imports differ from the import list: $(echo $imported)"
  local types
  types=$(sed -nE 's/^ *Type: (.*)$/\1/p' <<<"$headers" | sort -u)
  [ "$types" = HIGHLOW ] || fail "relocation types: ${types:-none}"

  "$python" - "$image" <<'EOF' || fail "pefile disagrees"
import sys
import pefile

pe = pefile.PE(sys.argv[1])
opt = pe.OPTIONAL_HEADER
problems = []
if pe.FILE_HEADER.Machine != 0x01C2:
    problems.append("machine %#x" % pe.FILE_HEADER.Machine)
if opt.Subsystem != 9:
    problems.append("subsystem %d" % opt.Subsystem)
if opt.CheckSum != pe.generate_checksum():
    problems.append("checksum %#x, pefile computes %#x" % (opt.CheckSum, pe.generate_checksum()))
libraries = [entry.dll.decode() for entry in pe.DIRECTORY_ENTRY_IMPORT]
if libraries != ["coredll.dll"]:
    problems.append("libraries %s" % libraries)
# Every relocated word holds an address inside the image at its preferred base.
count = 0
for block in pe.DIRECTORY_ENTRY_BASERELOC:
    for entry in block.entries:
        if entry.type == 0:
            continue
        count += 1
        word = pe.get_dword_at_rva(entry.rva)
        if not opt.ImageBase <= word < opt.ImageBase + opt.SizeOfImage:
            problems.append("relocated word at %#x holds %#x, outside the image" % (entry.rva, word))
if count == 0:
    problems.append("no relocations")
for problem in problems:
    print(problem, file=sys.stderr)
print("%s: %d bytes, %d relocations, %d imports" % (
    sys.argv[1], len(pe.__data__), count, len(pe.DIRECTORY_ENTRY_IMPORT[0].imports)))
sys.exit(1 if problems else 0)
EOF
}

# What ARMv4T does not have, by mnemonic with any condition: ARMv5T's, ARMv5TE's, ARMv6's and
# Thumb-2's instructions. Disassembled as ARMv4T, whatever else it lacks shows as undefined.
newer_instructions() {
  local elf=$1
  local newer='blx|clz|bkpt|cdp2|mcr2|mrc2|ldc2l?|stc2l?|ldrd|strd|pld|mcrr|mrrc|qadd|qsub|qdadd|qdsub'
  newer+='|smla[bt][bt]|smlaw[bt]|smlal[bt][bt]|smul[bt][bt]|smulw[bt]'
  newer+='|ldrex[bhd]?|strex[bhd]?|clrex|movw|movt|rev|rev16|revsh|sxt[ab]?[bh]|uxt[ab]?[bh]|sel'
  newer+='|[su]sat(16)?|pkh(bt|tb)|cps[ie]?[ad]?|srs[a-z]*|rfe[a-z]*|setend|umaal|smmul|smmla'
  newer+='|it[te]{0,3}|cbn?z|dmb|dsb|isb|wfi|wfe|sev|yield|sdiv|udiv|bfc|bfi|rbit|ubfx|sbfx'
  local conditions='eq|ne|cs|cc|hs|lo|mi|pl|vs|vc|hi|ls|ge|lt|gt|le|al'
  arm-none-eabi-objdump -d "$elf" | awk -F'\t' -v pattern="^($newer)($conditions)?([.][wn])?$" \
    '/^ +[0-9a-f]+:\t/ && $3 ~ pattern { print }'
  arm-none-eabi-objdump -d -m armv4t "$elf" | grep -E '<UNDEFINED>|<UNPREDICTABLE>' || true
}

thumb_symbols() {
  arm-none-eabi-readelf -s "$1" | grep -E ' \$t(\.|$)' || true
}

instructions() {
  # The check must find what it looks for, or its silence would mean nothing.
  local probe
  probe=$(mktemp -d)
  trap 'rm -rf "$probe"' RETURN
  printf '    .arch armv5te\n    .arm\nf:  blx r0\n    clz r0, r1\n    ldrd r0, [r2]\n    .thumb\ng:  bx lr\n' \
    >"$probe/newer.s"
  arm-none-eabi-as "$probe/newer.s" -o "$probe/newer.o"
  [ "$(newer_instructions "$probe/newer.o" | grep -c .)" -ge 3 ] ||
    fail "the instruction check does not see blx, clz and ldrd"
  [ -n "$(thumb_symbols "$probe/newer.o")" ] || fail "the Thumb check does not see \$t"

  local elf found
  for elf in "$@"; do
    found=$(thumb_symbols "$elf")
    [ -z "$found" ] || fail "Thumb code in $elf: $found"
    found=$(newer_instructions "$elf")
    [ -z "$found" ] || fail "instructions newer than ARMv4T in $elf:"$'\n'"$found"
    echo "$elf: ARM code within ARMv4T, $(arm-none-eabi-objdump -d "$elf" | grep -cE $'^ +[0-9a-f]+:\t') instructions"
  done
}

timestamp() {
  od -An -tu4 -j "$(($(od -An -tu4 -j 60 -N4 "$1") + 8))" -N4 "$1" | tr -d ' '
}

reproducible() {
  local image=$1 build=$2 elf2ce=$3
  local work
  work=$(mktemp -d)
  trap 'rm -rf "$work"' RETURN
  local epoch
  epoch=$(timestamp "$image")
  mkdir -p "$work/one" "$work/a/much/longer/path/two"
  # Other folders, another working directory, the same sources and epoch: the same bytes.
  (cd "$work/one" && SOURCE_DATE_EPOCH=$epoch bash "$build" image Quillo.exe obj "$elf2ce")
  (cd / && SOURCE_DATE_EPOCH=$epoch bash "$build" image "$work/a/much/longer/path/two/Quillo.exe" \
    "$work/a/much/longer/path/two/obj" "$elf2ce")
  cmp "$work/one/Quillo.exe" "$work/a/much/longer/path/two/Quillo.exe" ||
    fail "two builds in different folders differ"
  cmp "$work/one/Quillo.exe" "$image" || fail "a rebuild differs from $image"
  (cd "$work/one" && SOURCE_DATE_EPOCH=1700000000 bash "$build" image Dated.exe obj "$elf2ce")
  [ "$(timestamp "$work/one/Dated.exe")" = 1700000000 ] ||
    fail "SOURCE_DATE_EPOCH=1700000000 gives timestamp $(timestamp "$work/one/Dated.exe")"
  echo "$image: the same $(stat -c %s "$image") bytes from two other folders (timestamp $epoch)"
}

what=$1
shift
case $what in
structure) structure "$@" ;;
instructions) instructions "$@" ;;
reproducible) reproducible "$@" ;;
*) fail "unknown check $what" ;;
esac
