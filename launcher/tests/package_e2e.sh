#!/usr/bin/env bash
# The package end to end under Wine: MakeKov.exe binds a kit into Kov.exe, and Kov.exe unpacks
# it into an empty directory, starts the real wizard, and once the wizard is closed leaves the
# directory empty again. Also the packages that must not start anything.
#
#   package_e2e.sh SCENARIO BIN_DIR OUT_DIR
#
# BIN_DIR holds the Windows build (MakeKov.exe, KovShop.exe, Zentro_Comms.dll, Quillo.exe,
# kovkit.exe, windriver.exe).
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/../../wizard/tests/e2e/e2e_lib.sh"

TITLE="Kov V2.1.1"

# The kit as it ships (the handset's Quillo.exe among its programs), in DIR, with MakeKov.exe
# beside it.
kit_with_builder() {
  local dir=$1
  shift
  e2e_kit "$dir" "$@"
  cp "$E2E_BIN/MakeKov.exe" "$dir/"
}

# Runs a Windows console program in DIR; its lines (line ends made Unix ones) in OUT.
run_console() {
  local dir=$1 program=$2 out=$3
  (cd "$dir" && kovwine "$program" </dev/null 2>>"$E2E_LOG" | tr -d '\r' >"$out") ||
    e2e_fail "$program ended with a failure status"
  e2e_log "$program in $dir said: $(cat "$out")"
}

le32_at() { od -An -tu4 -j "$2" -N4 "$1" | tr -d ' '; }

# The entries of PACKAGE from OFFSET on, one "name length offset-of-data" line each.
entries_of() {
  local package=$1 at=$2 total name length
  total=$(stat -c %s "$package")
  while [ "$at" -lt "$total" ]; do
    name=$(dd if="$package" iflag=skip_bytes,count_bytes skip="$at" count=260 status=none |
      iconv -f UTF-16LE -t UTF-8 | tr '\0' '\n' | sed -n 1p)
    length=$(le32_at "$package" $((at + 260)))
    echo "$name $length $((at + 264))"
    at=$((at + 264 + length))
  done
}

expect_lines() {
  local out=$1
  shift
  diff <(printf '%s\n' "$@") "$out" >>"$E2E_LOG" || e2e_fail "unexpected lines in $out"
}

scenario_bind_and_run() {
  local maker=$E2E_WORK/maker empty=$E2E_WORK/empty out=$E2E_WORK/out.txt
  kit_with_builder "$maker"
  echo "an older package" >"$maker/Kov.exe"
  [ "$(stat -c %s "$maker/WMUPDAT.DIP")" = 46138368 ] || e2e_fail "the kit's image is not 46,138,368 bytes"
  local self
  self=$(stat -c %s "$maker/MakeKov.exe")

  run_console "$maker" MakeKov.exe "$out"
  [ "$(head -n1 "$out")" = "Bind self OK! Self length:$self" ] || e2e_fail "first line"
  [[ "$(sed -n 2p "$out")" == "Current path is Z:"*'\maker' ]] || e2e_fail "current path line"
  [ "$(tail -n1 "$out")" = "Kov bind succeed!" ] || e2e_fail "last line"
  local name
  for name in KovShop.exe Zentro_Comms.dll Quillo.exe WMUPDAT.DIP; do
    grep -qxF "File name is $name" "$out" || e2e_fail "no listing line for $name"
    grep -qxF "Bind $name OK! Length:$(stat -c %s "$maker/$name")" "$out" ||
      e2e_fail "no bind line for $name"
  done
  grep -qxF "File name is MakeKov.exe" "$out" && grep -qxF "File name is Kov.exe" "$out" ||
    e2e_fail "the builder and the package are listed too"
  [ "$(wc -l <"$out")" = 13 ] || e2e_fail "13 lines expected"

  # The marker 78 56 34 12 lies at exactly one aligned offset of the builder, and the stub
  # differs from the builder only in the word after it, which holds the builder's size.
  local markers marker
  markers=$(od -An -v -tx1 -w4 "$maker/MakeKov.exe" | grep -n '^ 78 56 34 12$' | cut -d: -f1)
  [ "$(echo "$markers" | wc -l)" = 1 ] || e2e_fail "the marker is not unique: $markers"
  marker=$(((markers - 1) * 4))
  [ "$(le32_at "$maker/Kov.exe" $((marker + 4)))" = "$self" ] || e2e_fail "self-length word"
  local differ at
  differ=$(cmp -l <(head -c "$self" "$maker/Kov.exe") "$maker/MakeKov.exe" | awk '{print $1 - 1}' |
    tr '\n' ' ' || true)
  [ -n "$differ" ] || e2e_fail "the stub equals the builder"
  for at in $differ; do
    [ "$at" -ge $((marker + 4)) ] && [ "$at" -lt $((marker + 8)) ] ||
      e2e_fail "the stub differs from the builder at $at (marker at $marker)"
  done

  local found=() length data total=$self
  while read -r name length data; do
    found+=("$name")
    [ "$length" = "$(stat -c %s "$maker/$name")" ] &&
      cmp -s -n "$length" -i "$data:0" "$maker/Kov.exe" "$maker/$name" ||
      e2e_fail "entry $name differs from the file"
    total=$((total + 264 + length))
  done < <(entries_of "$maker/Kov.exe" "$self")
  [ "$(printf '%s\n' "${found[@]}" | sort | tr '\n' ' ')" = \
    "KovShop.exe Quillo.exe WMUPDAT.DIP Zentro_Comms.dll " ] || e2e_fail "entries: ${found[*]}"
  [ "$total" = "$(stat -c %s "$maker/Kov.exe")" ] || e2e_fail "bytes after the last entry"
  e2e_log "Kov.exe: $(stat -c %s "$maker/Kov.exe") bytes, stub $self"

  # The package, run where nothing is, unpacks the kit and starts the wizard from it.
  mkdir -p "$empty"
  (cd "$empty" && kovwine "$maker/Kov.exe" </dev/null 2>>"$E2E_LOG" | tr -d '\r' >"$out") &
  local package=$!
  e2e_drive page "$TITLE" text 1018 "Welcome to the Kov" shot package-wizard
  [ "$(ls "$empty" | tr '\n' ' ')" = "KovShop.exe Quillo.exe WMUPDAT.DIP Zentro_Comms.dll " ] ||
    e2e_fail "unpacked: $(ls "$empty")"
  cmp -s "$empty/WMUPDAT.DIP" "$maker/WMUPDAT.DIP" || e2e_fail "the image came out different"
  e2e_drive page "$TITLE" click 2 gone
  e2e_exits "$package" 30
  expect_lines "$out" "Extract files, please wait." "Extract files complete." \
    "Initial to load the application, please wait."
  [ "$E2E_CODE" = 0 ] || e2e_fail "Kov.exe ended with $E2E_CODE"
  [ -z "$(ls -A "$empty")" ] || e2e_fail "left behind: $(ls -A "$empty")"
}

# Runs PACKAGE in a fresh directory DIR, expects it to end on its own with status 0, start no
# wizard, and say LINES.
run_alone() {
  local package=$1 dir=$2
  shift 2
  mkdir -p "$dir"
  run_console "$dir" "$package" "$E2E_WORK/alone.txt"
  expect_lines "$E2E_WORK/alone.txt" "$@"
  e2e_drive count "$TITLE" 0
}

# An entry laid out by hand: the UTF-16LE name in a 260-byte field, the length, the data.
hand_entry() {
  local name=$1 data=$2
  {
    printf '%s' "$name" | iconv -f UTF-8 -t UTF-16LE
    head -c $((260 - 2 * ${#name})) /dev/zero
    printf "\\x$(printf %02x $((${#data} & 255)))\\x$(printf %02x $((${#data} >> 8)))\\x00\\x00"
    printf '%s' "$data"
  }
}

scenario_edges() {
  local maker=$E2E_WORK/maker self
  kit_with_builder "$maker" --os-size 4
  self=$(stat -c %s "$maker/MakeKov.exe")
  run_console "$maker" MakeKov.exe "$E2E_WORK/bind.txt"
  local whole=$E2E_WORK/whole.exe
  mv "$maker/Kov.exe" "$whole"

  # Without KovShop.exe: no message, and the clean-up as usual.
  rm "$maker/KovShop.exe"
  run_console "$maker" MakeKov.exe "$E2E_WORK/bind.txt"
  run_alone "$maker/Kov.exe" "$E2E_WORK/no-wizard" "Extract files, please wait." \
    "Extract files complete." "Initial to load the application, please wait."
  [ -z "$(ls -A "$E2E_WORK/no-wizard")" ] || e2e_fail "left behind without a wizard"

  # A hostile name in front of the kit: refused before anything is made.
  local hostile=$E2E_WORK/hostile.exe
  { head -c "$self" "$whole"; hand_entry '..\escaped.txt' "outside"; tail -c +$((self + 1)) "$whole"; } >"$hostile"
  run_alone "$hostile" "$E2E_WORK/hostile" "Extract files, please wait." \
    "ERROR:Unsafe file name in the package!"
  [ ! -e "$E2E_WORK/escaped.txt" ] && [ -z "$(ls -A "$E2E_WORK/hostile")" ] ||
    e2e_fail "the hostile package made files"

  # A package cut short inside its last entry's data: that file goes, the wizard stays unstarted.
  local cut=$E2E_WORK/cut.exe last
  head -c $(($(stat -c %s "$whole") - 100)) "$whole" >"$cut"
  last=$(entries_of "$whole" "$self" | tail -n1 | cut -d' ' -f1)
  run_alone "$cut" "$E2E_WORK/cut" "Extract files, please wait." \
    "ERROR:$last ends early, the package is damaged!"
  [ ! -e "$E2E_WORK/cut/$last" ] || e2e_fail "the damaged $last stayed"

  # A package of 3,072,000 bytes or less is a builder: it binds the directory it runs in.
  local small=$E2E_WORK/small
  mkdir -p "$small"
  cp "$E2E_BIN/MakeKov.exe" "$small/"
  head -c $((3072000 - self - 264)) /dev/zero >"$small/pad.bin"
  run_console "$small" MakeKov.exe "$E2E_WORK/bind.txt"
  [ "$(stat -c %s "$small/Kov.exe")" = 3072000 ] || e2e_fail "the small package's size"
  mv "$small/Kov.exe" "$E2E_WORK/small.exe"
  mkdir -p "$E2E_WORK/other" && echo "x" >"$E2E_WORK/other/x.txt"
  run_console "$E2E_WORK/other" "$E2E_WORK/small.exe" "$E2E_WORK/small.txt"
  [ "$(head -n1 "$E2E_WORK/small.txt")" = "Bind self OK! Self length:3072000" ] &&
    [ "$(tail -n1 "$E2E_WORK/small.txt")" = "Kov bind succeed!" ] &&
    [ "$(stat -c %s "$E2E_WORK/other/Kov.exe")" = $((3072000 + 264 + 2)) ] ||
    e2e_fail "the small package did not bind"
}

[ $# -eq 3 ] || { echo "usage: $0 SCENARIO BIN_DIR OUT_DIR" >&2; exit 2; }
declare -F "scenario_$1" >/dev/null || { echo "no scenario $1" >&2; exit 2; }
e2e_begin "package_$1" "$2" "$3"
"scenario_$1"
e2e_log "passed"
