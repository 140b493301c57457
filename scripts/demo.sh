#!/usr/bin/env bash
# The main job: a full update of the virtual handset. Builds the kit's tools, writes a kit with
# the shipped image's size (46,138,368 bytes, OS only), starts the virtual boot loader on a pty,
# updates it with the headless flasher and says whether the flashed bytes equal the image's.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native --target kovkit kovflash kovvboot >/dev/null

bin=build/native/bin
work=build/demo
rm -rf "$work"
mkdir -p "$work/flashed"

"$bin/kovkit" make --out "$work/kit" --mode 0xCE --os-size 44 --version-text "Kov demo ROM 1.0" >/dev/null

# The virtual boot loader prints its pty's path on its first line and serves one update.
coproc VBOOT { exec "$bin/kovvboot" --once --save "$work/flashed"; }
vboot_pid=$VBOOT_PID
trap 'kill "$vboot_pid" 2>/dev/null || true; wait "$vboot_pid" 2>/dev/null || true' EXIT
read -r -t 10 device <&"${VBOOT[0]}"

status=0
"$bin/kovflash" --device "$device" --wait 10 "$work/kit" || status=$?
wait "$vboot_pid" 2>/dev/null || true
trap - EXIT

echo
if [ "$status" -ne 0 ]; then
  echo "The update did not finish (kovflash exit status $status)."
  exit "$status"
fi
if tail -c +1025 "$work/kit/WMUPDAT.DIP" | cmp -s - "$work/flashed/os.bin"; then
  echo "The virtual handset's flashed OS partition equals the image's payload, byte for byte ($(stat -c %s "$work/flashed/os.bin") bytes)."
else
  echo "The flashed bytes differ from the image's payload."
  exit 1
fi
