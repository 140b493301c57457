#!/usr/bin/env bash
# Copies the window tests' screenshots that the README shows into docs/screenshots, and puts
# the five side pictures side by side there. Run the window tests first:
#   ctest --preset windows-x64 -L e2e        (or the windows preset where 32-bit Wine runs)
#   bash wizard/tests/e2e/publish-screenshots.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/../../.."
build=${1:-build/windows-x64}
shots=$build/e2e/shots
out=docs/screenshots
mkdir -p "$out"
for name in welcome preparation missing-image welcome-short-image wait-verifying \
  wait-connect-handset update-rescue update-rescue-done update-not-loaded update-normal \
  update-normal-done update-normal-cp preparation-warning preparation-battery error-mode-0 \
  error-mode-1 error-mode-2 error-mode-none zamri zamri-success; do
  [ -f "$shots/$name.png" ] || { echo "no $shots/$name.png: run the window tests first" >&2; exit 1; }
  cp "$shots/$name.png" "$out/"
done
convert wizard/res/side_default.bmp wizard/res/side_type0.bmp wizard/res/side_type1.bmp \
  wizard/res/side_type2.bmp wizard/res/side_type3.bmp -bordercolor white -border 4 +append \
  -strip "$out/side-pictures.png"
echo "updated $out"
