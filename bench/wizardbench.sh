#!/usr/bin/env bash
# The shipped image's update (46,138,368 bytes, OS only) through the wizard under Wine against
# the headless flasher through the same kind of pty, in one run:
#
#   wizard         KovShop.exe on the rescue page: from windriver's click on Update to its
#                  sight of the status line "Task is Successful (...)"
#   flasher, Wine  kovflash.exe under Wine on the same \\.\WCEUSBSH001 device, from its line
#                  "Downloading Data..." to its line "Task is Successful (...)"
#   flasher        the native kovflash on the pty itself, between the same two lines
#
# So each figure is the update worker's run as its front-end shows it, without the time a
# program takes to start under Wine or to read the kit.
# Each against a fresh virtual boot loader; every run's flashed bytes are checked against the
# image. Prints each figure (median and best of ROUNDS, default 5: a shared machine's noise
# is large) and the wizard's ratios to the flashers.
#   bash bench/wizardbench.sh [ROUNDS]
set -euo pipefail
cd "$(dirname "$0")/.."
KOV_ROOT=$(pwd)
ROUNDS=${1:-5}

source scripts/wine-env.sh
cmake --preset native >/dev/null
cmake --build --preset native --target kovkit kovflash kovvboot >/dev/null
cmake --preset "$KOV_WIN_PRESET" >/dev/null
cmake --build --preset "$KOV_WIN_PRESET" --target KovShop flashlink windriver kovflash Quillo >/dev/null
source scripts/wizard-road.sh

WORK=$KOV_ROOT/build/wizardbench
rm -rf "$WORK/kit" "$WORK/flashed" "$WORK/shots"
mkdir -p "$WORK"
road_wine_start "$WORK/wineprefix"
trap road_stop EXIT
road_kit "$WORK/kit" --mode 0xCE --os-size 44

# Seconds between the first line of standard input matching FROM and the next matching TO,
# as the lines arrive.
span() {
  local from=$1 to=$2 line start=
  while IFS= read -r line; do
    if [ -z "$start" ] && [[ $line == *"$from"* ]]; then
      start=$(date +%s.%N)
    elif [ -n "$start" ] && [[ $line == *"$to"* ]]; then
      echo "$(date +%s.%N) $start" | awk '{ printf "%.3f", $1 - $2 }'
      cat >/dev/null
      return 0
    fi
  done
  echo "wizardbench: no \"$from\" ... \"$to\" in the output" >&2
  return 1
}

flashed_equal() {
  road_vboot_ends
  [ "$ROAD_VBOOT_CODE" = 0 ] || { echo "wizardbench: kovvboot ended with $ROAD_VBOOT_CODE" >&2; exit 1; }
  tail -c +1025 "$WORK/kit/WMUPDAT.DIP" | cmp -s - "$WORK/flashed/os.bin" ||
    { echo "wizardbench: the flashed bytes differ from the image's" >&2; exit 1; }
  rm -rf "$WORK/flashed"
}

wizard_round() {
  road_vboot "$WORK/flashed"
  road_wizard "$WORK/kit"
  road_to_rescue_page "$WORK/shots" >/dev/null
  ROUND_SECONDS=$(road_drive "$WORK/shots" --timeout 600000 page "$ROAD_TITLE" click 1006 \
    like 1029 "Task is Successful (## Minutes, ## Seconds)" | span "ok   click" "ok   like")
  road_drive "$WORK/shots" page "$ROAD_TITLE" click 2 gone >/dev/null
  wait "$ROAD_SHOP_PID"
  ROAD_SHOP_PID=
  flashed_equal
}

wine_flasher_round() {
  road_vboot "$WORK/flashed"
  road_plug
  ROUND_SECONDS=$(cd "$WORK" && timeout 300 "$KOV_ROOT/scripts/kovwine" \
    "$ROAD_WIN_BIN/kovflash.exe" --wait 10 kit </dev/null |
    span "Downloading Data..." "Task is Successful")
  flashed_equal
}

native_flasher_round() {
  road_vboot "$WORK/flashed"
  ROUND_SECONDS=$("$ROAD_NATIVE_BIN/kovflash" --device "$ROAD_PTY" --wait 10 "$WORK/kit" |
    span "Downloading Data..." "Task is Successful")
  flashed_equal
}

# The median and the best of a list of seconds: "median best".
stats() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END {
  m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
  printf "%.3f %.3f", m, v[1] }'; }

wizard=() wine=() native=()
for round in $(seq 1 "$ROUNDS"); do
  wizard_round
  wizard+=("$ROUND_SECONDS")
  wine_flasher_round
  wine+=("$ROUND_SECONDS")
  native_flasher_round
  native+=("$ROUND_SECONDS")
  echo "round $round: wizard ${wizard[-1]} s, flasher under Wine ${wine[-1]} s, native flasher ${native[-1]} s"
done

read -r wm wb <<<"$(stats "${wizard[@]}")"
read -r fm fb <<<"$(stats "${wine[@]}")"
read -r nm nb <<<"$(stats "${native[@]}")"
echo "image: 46,138,368 bytes (OS payload 46,137,344), $ROUNDS runs each, $KOV_WIN_PRESET build"
echo "                                    median     best"
printf 'wizard under Wine (KovShop.exe)  : %7.3f s %7.3f s\n' "$wm" "$wb"
printf 'flasher under Wine (kovflash.exe): %7.3f s %7.3f s\n' "$fm" "$fb"
printf 'native flasher on the pty        : %7.3f s %7.3f s\n' "$nm" "$nb"
awk -v wm="$wm" -v wb="$wb" -v fm="$fm" -v fb="$fb" -v nm="$nm" -v nb="$nb" 'BEGIN {
  printf "wizard / flasher under Wine      : %7.2f   %7.2f    (goal: within 1.20)\n", wm / fm, wb / fb
  printf "wizard / native flasher          : %7.2f   %7.2f\n", wm / nm, wb / nb
}'
