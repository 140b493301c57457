#!/usr/bin/env bash
# The real MakeKov.exe and Kov.exe under Wine against cp, in one run: binding the kit with the
# 46,138,368-byte image, and a package run that unpacks it and cleans up (no KovShop.exe in it,
# so no wizard opens: the package pauses its 500 ms and deletes the files). Wine's own start is
# measured in every round as MakeKov.exe binding nothing but itself and taken off that round's
# times, as is the pause; Wine's start varies by tenths of a second, so take several rounds.
#
#   bash bench/packagebench_wine.sh [ROUNDS]   (after building the native and Windows presets)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-env.sh
rounds=${1:-5}
bin=build/$KOV_WIN_PRESET/bin
work=$(mktemp -d "${TMPDIR:-/tmp}/packagebench-wine-XXXXXX")
trap 'kov_wine_stop; rm -rf "$work"' EXIT
kov_wine_start

mkdir -p "$work/kit" "$work/alone" "$work/run" "$work/copy"
build/native/bin/kovkit make --out "$work/kit" >/dev/null
cp "$bin/Zentro_Comms.dll" "$work/kit/"
cp "$bin/KovShop.exe" "$work/kit/KovShop.ex_" # its bytes, under a name the package does not start
head -c 24576 /dev/urandom >"$work/kit/Quillo.exe"
cp "$bin/MakeKov.exe" "$work/kit/"
cp "$bin/MakeKov.exe" "$work/alone/"
files=(KovShop.ex_ Quillo.exe WMUPDAT.DIP Zentro_Comms.dll)

seconds() { local s; s=$(date +%s.%N); "$@" >/dev/null 2>&1 </dev/null; echo "$(date +%s.%N) - $s" | bc; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

start=() bind=() cpbind=() run=() cprun=() netbind=() netrun=()
for _ in $(seq "$rounds"); do
  start+=("$(cd "$work/alone" && seconds kovwine MakeKov.exe)")
  bind+=("$(cd "$work/kit" && seconds kovwine MakeKov.exe)")
  rm -f "$work/copy"/*
  cpbind+=("$(seconds cp "${files[@]/#/$work/kit/}" "$work/kit/MakeKov.exe" "$work/copy/")")
  run+=("$(cd "$work/run" && seconds kovwine "$work/kit/Kov.exe")")
  [ -z "$(ls -A "$work/run")" ] || { echo "the package left files behind" >&2; exit 1; }
  mkdir -p "$work/copy2"
  cprun+=("$(seconds sh -c "cp ${files[*]/#/$work/copy/} $work/copy2/ && rm $work/copy2/*")")
  netbind+=("$(echo "${bind[-1]} - ${start[-1]}" | bc)")
  netrun+=("$(echo "${run[-1]} - ${start[-1]} - 0.5" | bc)")
done

s=$(median "${start[@]}") b=$(median "${bind[@]}") cb=$(median "${cpbind[@]}")
r=$(median "${run[@]}") cr=$(median "${cprun[@]}")
nb=$(median "${netbind[@]}") nr=$(median "${netrun[@]}")
echo "Under Wine ($KOV_WIN_PRESET build), medians of $rounds rounds; Kov.exe $(stat -c %s "$work/kit/Kov.exe") bytes"
printf '  Wine start (MakeKov.exe binding only itself)   %6.3f s\n' "$s"
printf '  bind: MakeKov.exe %6.3f s, less that round'"'"'s start %6.3f s   cp %6.3f s   ratio %.2f\n' \
  "$b" "$nb" "$cb" "$(echo "$nb / $cb" | bc -l)"
printf '  run:  Kov.exe     %6.3f s, less start and pause   %6.3f s   cp + rm %6.3f s   ratio %.2f\n' \
  "$r" "$nr" "$cr" "$(echo "$nr / $cr" | bc -l)"
