#!/usr/bin/env bash
# The main job: a full update of the virtual handset.
#
#   bash scripts/demo.sh             # from the package Kov.exe, the wizard's normal road
#   bash scripts/demo.sh --rescue    # from the package Kov.exe, the wizard's rescue road
#   bash scripts/demo.sh --flasher   # through the headless flasher kovflash
#
# Builds what it needs, writes a kit with the shipped image's size (46,138,368 bytes, OS only),
# starts the virtual boot loader on a pty and updates it. The wizard's roads start where a user
# starts: MakeKov.exe binds the kit into Kov.exe, which runs under Wine in an empty directory,
# unpacks the kit there, starts KovShop.exe, waits for it and cleans up. The normal road walks the
# wizard as a
# user would (welcome, preparation, the verifying window while the virtual running handset is
# asked over RAPI2, takes the switch tool, runs it on its ARM processor (the tree's loader under
# qemu-arm) and reboots into the virtual boot loader, the normal page, Update); the rescue road finds no handset over ActiveSync (the connect-the-handset
# window, the cable plugged in, the rescue page, Update). Both run in a visible window when a
# display answers, under a private X server otherwise. Every road ends by saying whether the
# flashed bytes equal the image's payload.
set -euo pipefail
cd "$(dirname "$0")/.."
KOV_ROOT=$(pwd)

WORK=$KOV_ROOT/build/demo

demo_build_native() {
  bash scripts/setup.sh
  cmake --preset native >/dev/null
  cmake --build --preset native --target kovkit kovflash kovvboot ceload >/dev/null
}

demo_build_windows() {
  source scripts/wine-env.sh
  cmake --preset "$KOV_WIN_PRESET" >/dev/null
  cmake --build --preset "$KOV_WIN_PRESET" --target KovShop flashlink windriver Quillo \
    VirtualRunningHandset MakeKov >/dev/null
  source scripts/wizard-road.sh
  source scripts/package.sh
}

demo_fresh_work() {
  rm -rf "$WORK/kit" "$WORK/flashed" "$WORK/shots" "$WORK/handset" "$WORK/run" "$WORK/Kov.exe"
  mkdir -p "$WORK/flashed" "$WORK/run"
}

demo_kit_options=(--mode 0xCE --os-size 44 --version-text "Kov demo ROM 1.0")

demo_report_flashed() {
  if tail -c +1025 "$WORK/kit/WMUPDAT.DIP" | cmp -s - "$WORK/flashed/os.bin"; then
    echo "The virtual handset's flashed OS partition equals the image's payload, byte for byte ($(stat -c %s "$WORK/flashed/os.bin") bytes)."
  else
    echo "The flashed bytes differ from the image's payload."
    return 1
  fi
}

# The headless flasher against the virtual boot loader's pty.
demo_flasher() {
  demo_build_native
  demo_fresh_work
  build/native/bin/kovkit make --out "$WORK/kit" "${demo_kit_options[@]}" >/dev/null
  coproc VBOOT { exec build/native/bin/kovvboot --once --save "$WORK/flashed"; }
  local vboot_pid=$VBOOT_PID device status=0
  trap 'kill "$vboot_pid" 2>/dev/null || true; wait "$vboot_pid" 2>/dev/null || true' EXIT
  read -r -t 10 device <&"${VBOOT[0]}"
  build/native/bin/kovflash --device "$device" --wait 10 "$WORK/kit" || status=$?
  wait "$vboot_pid" 2>/dev/null || true
  trap - EXIT
  echo
  if [ "$status" -ne 0 ]; then
    echo "The update did not finish (kovflash exit status $status)."
    return "$status"
  fi
  demo_report_flashed
}

# Starts Wine, writes the kit, starts the boot loader and, before the wizard, runs the command
# given (the running handset for the normal road).
demo_wizard_start() {
  road_wine_start "$WORK/wineprefix"
  trap road_stop EXIT
  road_kit "$WORK/kit" "${demo_kit_options[@]}"
  kov_make_package "$WORK/kit" "$WORK/Kov.exe"
  road_vboot "$WORK/flashed"
  [ $# -eq 0 ] || "$@"
  demo_package_run
}

# Kov.exe as a user runs it: in an empty directory, where it unpacks the kit, starts the wizard
# and waits for it. Its pid stands in for the wizard's, so that ending the road waits for it.
demo_package_run() {
  (cd "$WORK/run" && exec "$KOV_ROOT/scripts/kovwine" "$WORK/Kov.exe" </dev/null 2>/dev/null |
    tr -d '\r' >"$WORK/kov.txt") &
  ROAD_SHOP_PID=$!
}

# Once the wizard has closed, Kov.exe deletes what it unpacked and ends.
demo_package_report() {
  wait "$ROAD_SHOP_PID" 2>/dev/null || true
  ROAD_SHOP_PID=
  sed 's/^/  Kov.exe: /' "$WORK/kov.txt"
  if [ -z "$(ls -A "$WORK/run")" ]; then
    echo "Kov.exe unpacked the kit, ran the wizard and left its directory empty again."
  else
    echo "Kov.exe left files behind: $(ls -A "$WORK/run" | tr '\n' ' ')"
    return 1
  fi
}

# Update on the update page (its status line: 1016 normal, 1029 rescue) and wait for the
# worker's last status line.
demo_wizard_update() {
  local shots=$1 name=$2 status=$3
  road_drive "$shots" page "$ROAD_TITLE" shot "$name" click 1006 >/dev/null
  DEMO_STATUS=$(road_drive "$shots" --timeout 300000 page "$ROAD_TITLE" \
    like "$status" "Task is Successful (## Minutes, ## Seconds)" read "$status" \
    shot "$name-done" | sed -n "s/^windriver: read $status: //p" | tr -d '\r') || true
  road_drive "$shots" page "$ROAD_TITLE" read "$status" click 2 gone >/dev/null || true
}

demo_wizard_report() {
  local shots=$1 shot
  road_vboot_ends
  echo
  if [ -n "${DEMO_STATUS:-}" ]; then
    echo "The wizard's status line: \"$DEMO_STATUS\""
  else
    echo "The update did not finish in the wizard (kovvboot exit status $ROAD_VBOOT_CODE)."
  fi
  for shot in "$shots"/*.bmp; do
    convert "$shot" -strip "${shot%.bmp}.png" && rm "$shot"
  done
  echo "Screenshots: $(ls "$shots"/*.png | tr '\n' ' ')"
  [ -n "${DEMO_STATUS:-}" ] && demo_report_flashed
}

# What the switch tool did on the running handset: the handset started the kit's Quillo.exe (it
# starts nothing but a Windows CE ARM program) on the tree's loader under qemu-arm, and the
# program's own calls set the flags, wrote the switch log and rebooted the handset.
demo_handset_report() {
  local handset=$WORK/handset status
  status=$(sed -n 1p "$handset/exited" 2>/dev/null || true)
  if [ "$status" != 0 ] || [ ! -s "$handset/calls.txt" ] || [ ! -e "$handset/rebooted" ]; then
    echo "The switch tool did not run to its end on the running handset (loader status ${status:-none}): $(cat "$handset/program.txt" 2>/dev/null)"
    return 1
  fi
  echo "The running handset ran the kit's Quillo.exe, a Windows CE ARM program, on the tree's loader under qemu-arm ($(wc -l <"$handset/calls.txt") calls recorded): it set the flag $(paste -sd, "$handset/flags.txt"), wrote \\Temp\\log.txt and rebooted the handset into its boot loader. Its switch log:"
  # The log's last entry has no line break of its own.
  sed -e '/^$/d' -e 's/^/  /' "$handset/files/Temp/log.txt"
  echo
}

demo_wizard() {
  local road=$1
  demo_build_native
  demo_build_windows
  demo_fresh_work
  if [ "$road" = normal ]; then
    demo_wizard_start road_handset "$WORK/handset" "version=Kov demo ROM 0.9" "charge=80"
    road_plug_on_reboot
    echo "KovShop.exe runs under Wine on $ROAD_DISPLAY; the virtual running handset answers over RAPI2 and its boot loader waits on $ROAD_PTY."
    road_to_normal_page "$WORK/shots" >/dev/null
    demo_wizard_update "$WORK/shots" normal-page 1016
  else
    demo_wizard_start
    echo "KovShop.exe runs under Wine on $ROAD_DISPLAY; the virtual handset waits on $ROAD_PTY."
    road_to_rescue_page "$WORK/shots" >/dev/null
    demo_wizard_update "$WORK/shots" rescue-page 1029
  fi
  demo_wizard_report "$WORK/shots"
  [ "$road" != normal ] || demo_handset_report
  demo_package_report
}

case "${1:-}" in
  --flasher) demo_flasher ;;
  --rescue) demo_wizard rescue ;;
  "") demo_wizard normal ;;
  *)
    echo "usage: $0 [--rescue | --flasher]" >&2
    exit 2
    ;;
esac
