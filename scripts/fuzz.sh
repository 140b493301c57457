#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while.
#
#   scripts/fuzz.sh                  every target for 12 seconds (what scripts/test.sh runs)
#   scripts/fuzz.sh 600              every target for 10 minutes: a longer campaign
#   scripts/fuzz.sh 300 message tftp only the named targets (coff kit package message tftp ceimage
#                                    handsetimage)
#   scripts/fuzz.sh --seeds          writes the seed corpora under fuzz/corpus/ again
#
# A crash, undefined behaviour, a leak, a hang of 10 seconds or an allocation over the target's
# limit fails the run; the input that caused it is left under build/fuzz/artifacts/. Inputs
# found along the way collect in build/fuzz/corpus/<target>; the seeds in fuzz/corpus/<target>
# are only read. Each target's executions, speed and corpus size are printed at its end.
set -euo pipefail
cd "$(dirname "$0")/.."
# Absolute, since the package's target unpacks into a directory of its own.
root=$(pwd)
out=$root/build/fuzz
all=(coff kit package message tftp ceimage handsetimage)

configure() {
  cmake -S . -B "$out" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOV_FUZZ=ON -DKOV_WERROR=ON >/dev/null
}

if [ "${1:-}" = --seeds ]; then
  configure
  cmake --build "$out" --target fuzz_seeds
  "$out/bin/fuzz_seeds" fuzz/corpus
  exit 0
fi

seconds=${1:-12}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all[@]}")

program() {
  case $1 in
    coff) echo coff_reader_fuzz ;;
    kit) echo kit_reader_fuzz ;;
    package) echo package_extract_fuzz ;;
    message) echo message_loop_fuzz ;;
    tftp) echo tftp_transfer_fuzz ;;
    ceimage) echo ce_image_fuzz ;;
    handsetimage) echo handset_image_fuzz ;;
    *) echo "unknown fuzz target: $1 (known: ${all[*]})" >&2; exit 2 ;;
  esac
}

# Any allocation over 64 MiB is a finding, except in the message loop: the device announces an
# upload's size and the link asks for that much at once (up to 4 GiB), failing cleanly when it
# cannot have it. There the allocator refuses anything over 32 MiB, as a PC short of memory
# would, which also keeps the sanitizer from spending its time on huge buffers.
asan_options() {
  local common=detect_leaks=1:allocator_may_return_null=1
  [ "$1" = message ] && echo "$common:max_allocation_size_mb=32" || echo "$common"
}

names=()
for t in "${targets[@]}"; do names+=("$(program "$t")"); done
configure
cmake --build "$out" --target "${names[@]}"
mkdir -p "$out/artifacts"

failed=0
printf '%-10s %12s %10s %8s\n' target executions exec/s corpus
for t in "${targets[@]}"; do
  name=$(program "$t")
  mkdir -p "$out/corpus/$t"
  log=$out/$name-${seconds}s.log
  # A target's dictionary, when it has one, gives the mutations the words its input needs.
  dict=()
  [ -f "$root/fuzz/$t.dict" ] && dict=(-dict="$root/fuzz/$t.dict")
  if ! ASAN_OPTIONS=$(asan_options "$t") \
    "$out/bin/$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -malloc_limit_mb=64 -print_final_stats=1 -artifact_prefix="$out/artifacts/$t-" "${dict[@]}" \
    "$out/corpus/$t" "$root/fuzz/corpus/$t" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "$name failed; the full log is $log" >&2
    failed=1
    continue
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  corpus=$(find "$out/corpus/$t" -type f | wc -l)
  printf '%-10s %12s %10s %8s\n' "$t" "$runs" "$speed" "$corpus"
done
exit $failed
