#!/usr/bin/env bash
# The wizard in real windows: KovShop.exe runs under Wine in a directory holding a kit, and
# windriver clicks through its pages, reads them and photographs each one.
#
#   wizard_e2e.sh SCENARIO BIN_DIR OUT_DIR
#
# BIN_DIR holds the Windows build (KovShop.exe, Zentro_Comms.dll, kovkit.exe, windriver.exe,
# kovshop_probe.exe); screenshots land in OUT_DIR/shots.
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"

TITLE="Kov V2.1.1"
CANNOT_CONNECT="The Update Utility cannot connect to your device. Please check whether the USB cable is connected properly between pc and the device."
RESCUE_TEXT='If your device failed to upgrade last time, please click Next and wait until diplay following:\r\n        "Please connect the handset with PC using USB cable."\r\nThen power on your device and plug in USB cable'
MISSING_IMAGE="Cann't find Image file. Please make sure the Image file is placed in the directory of Kov."

# Welcome page ticked and left for the preparation page, which becomes the current window.
TO_PREPARATION=(page "$TITLE" click 1002 click 1000 gone page "$TITLE")

scenario_welcome_next() {
  e2e_kit "$E2E_WORK/kit" --signature 2
  e2e_start "$E2E_WORK/kit" KovShop.exe
  local shop=$E2E_PID
  e2e_drive page "$TITLE" title "$TITLE" centred topmost 1 \
    text 1018 "Welcome to the Kov" \
    text 1002 "I understand the warning indicated above ." \
    checked 1002 0 enabled 1000 0 \
    click 1002 checked 1002 1 enabled 1000 1 \
    click 1002 checked 1002 0 enabled 1000 0 \
    click 1002 enabled 1000 1 \
    picture 1017 140 shot welcome \
    click 1000 gone page "$TITLE" title "$TITLE" centred topmost 1 \
    text 1010 "Follow the instruction below to prepare the device for the Update Process" \
    text 1040 "$RESCUE_TEXT" \
    picture 1017 140 \
    enabled 1001 0 click 1005 enabled 1001 1 click 1005 enabled 1001 0 \
    shot preparation \
    click 2 gone
  e2e_exits "$shop"
}

# Back from the preparation page runs the image check again, so each image written meanwhile
# shows its own picture on the fresh welcome page.
scenario_image_types() {
  e2e_kit "$E2E_WORK/kit" --signature 0
  e2e_start "$E2E_WORK/kit" KovShop.exe
  local shop=$E2E_PID
  e2e_drive page "$TITLE" picture 1017 139 shot welcome-type0 click 1002 click 1000 gone page "$TITLE"
  local signature picture
  for signature in 1:139 2:140 3:141 4:142 none:134; do
    picture=${signature#*:}
    signature=${signature%:*}
    e2e_kit "$E2E_WORK/kit" --signature "$signature"
    e2e_drive page "$TITLE" click 1004 gone \
      page "$TITLE" checked 1002 0 enabled 1000 0 picture 1017 "$picture" \
      shot "welcome-signature-$signature" \
      click 1002 click 1000 gone page "$TITLE" picture 1017 "$picture"
  done
  e2e_drive page "$TITLE" click 2 gone
  e2e_exits "$shop"
}

scenario_missing_image() {
  mkdir -p "$E2E_WORK/kit"
  cp "$E2E_BIN/KovShop.exe" "$E2E_BIN/Zentro_Comms.dll" "$E2E_WORK/kit/"
  e2e_start "$E2E_WORK/kit" KovShop.exe
  local shop=$E2E_PID
  e2e_drive box "$MISSING_IMAGE" title "Error" topmost 1 count "$TITLE" 0 shot missing-image \
    click 1 gone
  e2e_exits "$shop"
}

# An image of 127 bytes: the fresh welcome page stays, says nothing and shows the default
# picture, while the type found earlier stays in force for the later pages.
scenario_short_image() {
  e2e_kit "$E2E_WORK/kit" --signature 4
  e2e_start "$E2E_WORK/kit" KovShop.exe
  local shop=$E2E_PID
  e2e_drive page "$TITLE" picture 1017 142 click 1002 click 1000 gone page "$TITLE" picture 1017 142
  e2e_kit "$E2E_WORK/kit" --signature 1 --file-bytes 127
  e2e_drive page "$TITLE" click 1004 gone \
    page "$TITLE" quiet 1500 picture 1017 134 checked 1002 0 enabled 1000 0 shot welcome-short-image \
    click 1002 click 1000 gone page "$TITLE" picture 1017 142 click 2 gone
  e2e_exits "$shop"
}

# A second copy restores and raises the first one's window and opens nothing. With a
# SoftwareVersion set, it looks for a title that only a wait window carries, so it finds none.
scenario_second_copy() {
  e2e_kit "$E2E_WORK/kit" --signature 0
  e2e_start "$E2E_WORK/kit" KovShop.exe
  local first=$E2E_PID
  e2e_drive page "$TITLE" minimize iconic 1
  e2e_start "$E2E_WORK/kit" KovShop.exe
  e2e_exits "$E2E_PID"
  e2e_drive page "$TITLE" iconic 0 foreground count "$TITLE" 1

  printf '[KovShop]\r\nSoftwareVersion=Beta \r\n' >"$E2E_WORK/kit/KovShop.ini"
  e2e_drive page "$TITLE" minimize iconic 1
  e2e_start "$E2E_WORK/kit" KovShop.exe
  e2e_exits "$E2E_PID"
  e2e_drive page "$TITLE" sleep 500 iconic 1 count "$TITLE" 1 count "Beta $TITLE" 0
  kill -0 "$first" || e2e_fail "the first copy ended"
  e2e_drive page "$TITLE" click 2 gone
  e2e_exits "$first"
}

# Next on the preparation page takes the rescue road: the connect-the-handset window at the
# screen's corner, titled with the SoftwareVersion from the settings beside the program (not
# in the current directory) cut to 259 characters, above the error page; leaving the page
# ends the window and the program.
scenario_rescue_road() {
  local program=$E2E_WORK/program kit=$E2E_WORK/kit version
  mkdir -p "$program"
  cp "$E2E_BIN/KovShop.exe" "$E2E_BIN/Zentro_Comms.dll" "$program/"
  version="R$(printf 'v%.0s' $(seq 1 258))"
  printf '[KovShop]\r\nSoftwareVersion=%sTOO-LONG\r\n' "$version" >"$program/KovShop.ini"
  e2e_kit "$kit" --signature 3
  rm "$kit/KovShop.exe" "$kit/Zentro_Comms.dll"
  printf '[KovShop]\r\nSoftwareVersion=Decoy-\r\n' >"$kit/KovShop.ini"

  e2e_start "$kit" "$program/KovShop.exe"
  local shop=$E2E_PID
  e2e_drive "${TO_PREPARATION[@]}" click 1005 click 1001 gone \
    popup "$version$TITLE" at 0 0 topmost 1 \
    text 1010 "Please connect the handset with PC using USB cable." \
    shot wait-connect-handset \
    page "$TITLE" title "$TITLE" centred topmost 1 \
    text 1020 "ERROR : UPDATE ERROR" text 1021 "$CANNOT_CONNECT" text 1023 "Check the follow" \
    picture 1017 141 screen rescue-road \
    click 2 gone
  e2e_exits "$shop"
}

# The error page's texts for each mode, and with none, on the page by itself.
scenario_error_pages() {
  local mode explanation
  for mode in 1 2 0 none; do
    case $mode in
      1) explanation="Update process is interrupted for unknown battery status." ;;
      2) explanation="Update process is interrupted for unknown reason." ;;
      0) explanation=$CANNOT_CONNECT ;;
      none) explanation="" ;;
    esac
    local caption="Check the follow"
    [ "$mode" = none ] && caption=""
    e2e_start "$E2E_WORK" "$E2E_BIN/kovshop_probe.exe" error "$mode"
    e2e_drive page "$TITLE" title "$TITLE" centred topmost 1 \
      text 1020 "ERROR : UPDATE ERROR" text 1021 "$explanation" text 1023 "$caption" \
      picture 1017 134 shot "error-mode-$mode" click 2 gone
    e2e_exits "$E2E_PID"
    [ "$E2E_CODE" = 0 ] || e2e_fail "the probe ended with $E2E_CODE"
  done
}

# The verifying wait window, centred and topmost, titled with the SoftwareVersion in front;
# asked to end, its thread ends.
scenario_wait_window() {
  local program=$E2E_WORK/program
  mkdir -p "$program"
  cp "$E2E_BIN/kovshop_probe.exe" "$E2E_BIN/Zentro_Comms.dll" "$program/"
  printf '[KovShop]\r\nSoftwareVersion=Probe-\r\n' >"$program/KovShop.ini"
  e2e_start "$E2E_WORK" "$program/kovshop_probe.exe" wait NORMAL
  e2e_drive popup "Probe-$TITLE" centred topmost 1 \
    text 1010 "Verifying the information on your device, please wait..." \
    shot wait-verifying signal kovshop_probe_end gone
  e2e_exits "$E2E_PID"
  [ "$E2E_CODE" = 0 ] || e2e_fail "the wait window's thread did not end (probe code $E2E_CODE)"
}

[ $# -eq 3 ] || { echo "usage: $0 SCENARIO BIN_DIR OUT_DIR" >&2; exit 2; }
declare -F "scenario_$1" >/dev/null || { echo "no scenario $1" >&2; exit 2; }
e2e_begin "$1" "$2" "$3"
"scenario_$1"
e2e_log "passed"
