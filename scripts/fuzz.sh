#!/usr/bin/env bash
# Builds the COFF reader's fuzzer with clang and runs it for a while (seconds: $1, default 30).
# A crash, undefined behaviour, a leak or an allocation over 64 MiB fails the run; the input
# that caused it is left under build/fuzz/artifacts/. Inputs found along the way collect in
# build/fuzz/corpus/coff; the seeds in fuzz/corpus/coff are only read.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
out=build/fuzz

cmake -S . -B "$out" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOV_FUZZ=ON -DKOV_WERROR=ON >/dev/null
cmake --build "$out" --target coff_reader_fuzz
mkdir -p "$out/corpus/coff" "$out/artifacts"

log=$out/coff_reader_fuzz.log
if ! "$out/bin/coff_reader_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 \
  -malloc_limit_mb=64 -print_final_stats=1 -artifact_prefix="$out/artifacts/" \
  "$out/corpus/coff" fuzz/corpus/coff >"$log" 2>&1; then
  tail -n 60 "$log"
  echo "coff_reader_fuzz failed; the full log is $log" >&2
  exit 1
fi
grep -E '^(Done|stat::number_of_executed_units|stat::average_exec_per_sec|stat::peak_rss_mb)' "$log"
