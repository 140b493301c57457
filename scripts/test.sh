#!/usr/bin/env bash
# Builds everything and runs every test: the native tests, plainly and under the sanitizers, a
# short fuzzing run, then the Windows programs and their tests under a private Wine prefix.
# Exits non-zero when anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."
KOV_ROOT=$(pwd)

bash scripts/setup.sh
bash scripts/check-format.sh

cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native

# The same native suite under AddressSanitizer and UndefinedBehaviorSanitizer: a bad read or
# write, a leak or undefined behaviour fails the test that meets it.
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize
ctest --preset sanitize

# The threaded tests once more under ThreadSanitizer, in a build of their own that holds only
# them; the first report ends the test with a failure.
cmake --preset tsan >/dev/null
cmake --build --preset tsan
ctest --preset tsan

# Every fuzz target for a few seconds.
bash scripts/fuzz.sh

# The 32-bit deliverables are always built, warnings as errors.
cmake --preset windows >/dev/null
cmake --build --preset windows

source scripts/wine-env.sh
if [ "$KOV_WIN_PRESET" != windows ]; then
  echo "This kernel runs no 32-bit programs: the Windows tests run as x86_64 builds under 64-bit Wine."
  cmake --preset "$KOV_WIN_PRESET" >/dev/null
  cmake --build --preset "$KOV_WIN_PRESET"
fi

trap kov_wine_stop EXIT
kov_wine_start --display
ctest --preset "$KOV_WIN_PRESET"
