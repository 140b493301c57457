#!/usr/bin/env bash
# The wizard in real windows: KovShop.exe runs under Wine in a directory holding a kit, and
# windriver clicks through its pages, reads them and photographs each one.
#
#   wizard_e2e.sh SCENARIO BIN_DIR OUT_DIR
#
# BIN_DIR holds the Windows build (KovShop.exe, Zentro_Comms.dll, Quillo.exe, kovkit.exe,
# windriver.exe, kovshop_probe.exe, VirtualRunningHandset.dll, QuilloDesktopTest.exe);
# screenshots land in OUT_DIR/shots. The running handset's programs run on the native build's
# loader (KOV_NATIVE_BIN, see e2e_lib.sh).
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"

TITLE="Kov V2.1.1"
CANNOT_CONNECT="The Update Utility cannot connect to your device. Please check whether the USB cable is connected properly between pc and the device."
RESCUE_TEXT='If your device failed to upgrade last time, please click Next and wait until diplay following:\r\n        "Please connect the handset with PC using USB cable."\r\nThen power on your device and plug in USB cable'
MISSING_IMAGE="Cann't find Image file. Please make sure the Image file is placed in the directory of Kov."
RESCUE_NOTICE='Make sure the connection with PC is stable!\r\nMake sure the Main Battery of you device is enough!'
CLICK_UPDATE='Click "Update" to process. Click "Close" to quit.'
# The loader's records of the switch tool's firmware controls and reboot request.
CONTROL='KernelIoControl(0x%08X, "\\x01\\x00\\x00\\x00", 4, NULL, 0, NULL) = %d'
REBOOT='ExitWindowsEx(2, 0) = 1'
UPDATING="Updating, the update process will be completed in about four minitues. Please wait."
LOW_BATTERY="The power of main battery is less than 50%. In order to make sure the update successful, please charge it first!"
IMAGE_UNREADABLE="Update process is interrupted: the Image file cannot be read. Please make sure the whole Image file is placed in the directory of Kov."

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

# Next on the preparation page takes the rescue road, since no handset answers over ActiveSync
# (no RAPI2 class is registered): the verifying window while the charge is read three times,
# then the connect-the-handset window at the screen's corner, titled with the SoftwareVersion from the settings beside the program (not
# in the current directory) cut to 259 characters. Once the cable is in, the window goes and
# the rescue page updates the virtual handset; the flashed bytes are the image's.
scenario_rescue_road() {
  local program=$E2E_WORK/program kit=$E2E_WORK/kit version
  mkdir -p "$program"
  cp "$E2E_BIN/KovShop.exe" "$E2E_BIN/Zentro_Comms.dll" "$program/"
  version="R$(printf 'v%.0s' $(seq 1 258))"
  printf '[KovShop]\r\nSoftwareVersion=%sTOO-LONG\r\n' "$version" >"$program/KovShop.ini"
  e2e_kit "$kit" --signature 3 --os-size 2
  rm "$kit/KovShop.exe" "$kit/Zentro_Comms.dll"
  printf '[KovShop]\r\nSoftwareVersion=Decoy-\r\n' >"$kit/KovShop.ini"
  # The handset holds the transfer's acknowledgement and asks for a file the wizard does not
  # have, so the texts of the run's middle and the bar's position stay up long enough to be
  # read.
  e2e_vboot "$E2E_WORK/flashed" --late-ack 1500@1 --stream "range:4;pos:1;file0;pos:4;ack" \
    --answer-wait 1500

  e2e_start "$kit" "$program/KovShop.exe"
  local shop=$E2E_PID
  e2e_drive "${TO_PREPARATION[@]}" click 1005 click 1001 gone \
    popup "$version$TITLE" centred topmost 1 \
    text 1010 "Verifying the information on your device, please wait..." gone \
    popup "$version$TITLE" at 0 0 topmost 1 \
    text 1010 "Please connect the handset with PC using USB cable." \
    shot wait-connect-handset quiet 1500
  e2e_plug
  e2e_drive page "$TITLE" title "$TITLE" centred topmost 1 count "$version$TITLE" 0 \
    text 1029 "Usb Sync Open" text 1027 "$RESCUE_NOTICE" text 1028 "$CLICK_UPDATE" \
    enabled 1006 1 enabled 2 1 picture 1017 141 shot update-rescue \
    click 1006 text 1029 "Upgrade OS" text 1028 "$UPDATING" enabled 1006 0 enabled 2 0 \
    press escape text 1029 "Upgrade completed." position 1026 1 \
    like 1029 "Task is Successful (00 Minutes, ## Seconds)" \
    text 1027 "Congratulations, update completed." text 1028 "Click close to Exit." \
    position 1026 0 enabled 2 1 enabled 1006 0 shot update-rescue-done \
    click 2 gone
  e2e_exits "$shop"
  e2e_vboot_ends
  [ "$E2E_VBOOT_CODE" = 0 ] || e2e_fail "kovvboot ended with $E2E_VBOOT_CODE"
  e2e_flashed_equal "$kit" "$E2E_WORK/flashed"
}

# The handset refuses what the page sends, or fails while it writes its flash, or announces an
# upload the PC cannot hold: the worker says why, the page stays with Close enabled and Update
# disabled, and the run cannot start again.
scenario_update_failures() {
  local kit=$E2E_WORK/kit fault options box status
  e2e_kit "$kit" --os-size 1
  for fault in key os-version firmware upload; do
    case $fault in
      key)
        options=(--key refuse)
        box="Error, The image file is invalid, please contact the operator to fetch a new image."
        status="Downloading Data..." ;;
      os-version)
        options=(--held-os FFFFFFFFFFFF)
        box="Error, version of image file is older than handset's version. There is no need for you to do update."
        status="Error, Download OS Failed." ;;
      firmware)
        options=(--firmware-error 7)
        box="Flash Firmware Error occurred:  code 7"
        status="Upgrade completed." ;;
      upload)
        options=(--stream "range:10;word:AAAA000E;word:80000000")
        box="Error, the handset announced an upload of 2147483648 bytes; the PC cannot hold it."
        status="Error, the PC cannot hold the handset's upload." ;;
    esac
    e2e_vboot "$E2E_WORK/flashed-$fault" "${options[@]}"
    e2e_plug
    e2e_start "$kit" KovShop.exe
    local shop=$E2E_PID
    e2e_drive "${TO_PREPARATION[@]}" click 1005 click 1001 gone \
      page "$TITLE" text 1029 "Usb Sync Open" click 1006 \
      box "$box" title "Error" topmost 1 click 1 gone \
      page "$TITLE" text 1029 "$status" enabled 2 1 enabled 1006 0 \
      text 1027 "$RESCUE_NOTICE" text 1028 "$UPDATING" shot "update-failed-$fault" \
      click 2 gone
    e2e_exits "$shop"
    e2e_vboot_ends
  done
}

# No handset ever appears: the connect-the-handset window stays while the link tries for a
# minute, then it goes, the box says so and the wizard ends without showing the page. The
# minute starts a moment before the window can be seen to show, so it is watched for 50 s: an
# early give-up still fails, and a loaded machine's late look does not.
scenario_device_never_appears() {
  e2e_kit "$E2E_WORK/kit" --os-size 1
  rm -f "$WINEPREFIX/dosdevices/wceusbsh001"
  e2e_start "$E2E_WORK/kit" KovShop.exe
  local shop=$E2E_PID
  e2e_drive "${TO_PREPARATION[@]}" click 1005 click 1001 gone \
    popup "$TITLE" centred text 1010 "Verifying the information on your device, please wait..." \
    gone popup "$TITLE" at 0 0 text 1010 "Please connect the handset with PC using USB cable." \
    quiet 50000
  e2e_drive --timeout 25000 \
    box "Usb Sync cann't open! Update process is interrupted! Please try the process again." \
    title "Error" topmost 1 count "$TITLE" 0 click 1 gone
  e2e_exits "$shop"
}

# An update image that is there but cannot be read whole (its length is the loader's own
# failure value): the wait window goes, a box says why, and the page stays up saying so with
# Update disabled; no link is opened and nothing is sent.
scenario_not_loaded() {
  local kit=$E2E_WORK/kit
  e2e_kit "$kit" --os-size 1
  rm "$kit/WMUPDAT.DIP"
  truncate -s 4294967295 "$kit/WMUPDAT.DIP"
  e2e_start "$kit" KovShop.exe
  local shop=$E2E_PID
  e2e_drive "${TO_PREPARATION[@]}" click 1005 click 1001 gone \
    box "$IMAGE_UNREADABLE" title "Error" count "$TITLE" 0 click 1 gone \
    page "$TITLE" text 1029 "Error, the Image file cannot be read." \
    text 1028 'Click "Close" to quit.' enabled 1006 0 enabled 2 1 \
    press enter quiet 1000 shot update-not-loaded click 2 gone
  e2e_exits "$shop"
}

# Enter acts as Next where Next is enabled and does nothing anywhere else; it never ends the
# wizard.
scenario_enter_key() {
  local kit=$E2E_WORK/kit
  e2e_kit "$kit" --os-size 1
  e2e_vboot "$E2E_WORK/flashed"
  e2e_plug
  e2e_start "$kit" KovShop.exe
  local shop=$E2E_PID
  e2e_drive page "$TITLE" press enter quiet 1000 text 1018 "Welcome to the Kov" \
    click 1002 press enter gone \
    page "$TITLE" press enter quiet 1000 enabled 1001 0 click 1005 press enter gone \
    page "$TITLE" text 1029 "Usb Sync Open" press enter quiet 1000 enabled 1006 1 \
    click 2 gone
  e2e_exits "$shop"
  e2e_vboot_ends
}

# The normal road: the running handset answers over ActiveSync, takes the switch tool (copied
# byte for byte from the kit) and runs it on its ARM processor, the tree's loader under the
# emulator: the kit's own handset program sets the update flag, writes its log and reboots the
# handset into its boot loader, which the page then updates; the handset's version and the
# image's side by side, the update to its end. Then a customization-partition image: "cp"
# reaches the switch tool, which sets the MasterClear flag; this time the handset has rebooted
# before the start call returns, so the wizard's closing calls meet a handset that has gone,
# and the road goes on all the same. The page names the partition instead of versions.
scenario_normal_page() {
  e2e_need_loader
  local kit=$E2E_WORK/kit handset=$E2E_WORK/handset
  e2e_kit "$kit" --signature 1 --os-size 2 --version-text "Kov ROM 2.0"
  e2e_handset "$handset" "version=Kov ROM 1.0" "charge=80"
  e2e_vboot "$E2E_WORK/flashed"
  e2e_plug_on_reboot
  e2e_start "$kit" KovShop.exe
  local shop=$E2E_PID
  e2e_drive "${TO_PREPARATION[@]}" click 1005 click 1001 gone
  e2e_await_normal_page
  e2e_drive page "$TITLE" title "$TITLE" centred topmost 1 \
    text 1035 "The device will update from:" text 1036 "Image Version:" text 1038 "To:" \
    text 1037 "Image Version:" text 1007 "Kov ROM 1.0" text 1008 "Kov ROM 2.0" \
    text 1016 "Usb Sync Open" text 1024 "Make sure the connection with PC is stable!" \
    text 1022 "$CLICK_UPDATE" picture 1017 139 enabled 1006 1 shot update-normal \
    click 1006 like 1016 "Task is Successful (00 Minutes, ## Seconds)" \
    text 1024 "Congratulations, update completed." text 1022 "Click close to Exit." \
    position 1014 0 enabled 2 1 enabled 1006 0 shot update-normal-done click 2 gone
  e2e_exits "$shop"
  e2e_vboot_ends
  [ "$E2E_VBOOT_CODE" = 0 ] || e2e_fail "kovvboot ended with $E2E_VBOOT_CODE"
  e2e_flashed_equal "$kit" "$E2E_WORK/flashed"
  cmp -s "$kit/Quillo.exe" "$handset/files/Temp/Quillo.exe" ||
    e2e_fail "the handset's \\Temp\\Quillo.exe differs from the kit's"
  e2e_program_ran
  e2e_program_called "$(printf "$CONTROL" 0x0101208C 1)" "$REBOOT"
  [ "$(e2e_switch_log)" = $'Write update flag OK.\nother\nUpdate area is not CP.' ] ||
    e2e_fail "switch log: $(e2e_switch_log)"
  [ "$(cat "$handset/flags.txt")" = update ] || e2e_fail "flags: $(cat "$handset/flags.txt")"
  e2e_handset_gone

  handset=$E2E_WORK/handset-cp
  e2e_kit "$kit" --mode 0xC0 --os-size 0 --cp-size 1
  e2e_handset "$handset" "charge=50" "start_returns=after_exit"
  e2e_vboot "$E2E_WORK/flashed-cp"
  e2e_plug_on_reboot
  e2e_start "$kit" KovShop.exe
  shop=$E2E_PID
  e2e_drive "${TO_PREPARATION[@]}" click 1005 click 1001 gone
  e2e_await_normal_page
  e2e_drive page "$TITLE" text 1007 "Update Customization Partition" text 1008 "" \
    text 1035 "" text 1036 "" text 1038 "" text 1037 "" text 1016 "Usb Sync Open" \
    shot update-normal-cp click 2 gone
  e2e_exits "$shop"
  e2e_vboot_ends
  e2e_program_ran
  e2e_program_called "$(printf "$CONTROL" 0x01012084 1)" "$(printf "$CONTROL" 0x01012080 1)" \
    "$REBOOT"
  [ "$(tail -n 4 "$handset/journal.txt")" = 'start \Temp\Quillo.exe "cp" flags=0x10
close handle: handset gone
close handle: handset gone
uninit: handset gone' ] || e2e_fail "the closing calls met the handset before it went: $(tail -n 4 "$handset/journal.txt")"
  [ "$(e2e_switch_log)" = $'Write update flag OK.\ncp\nUpdate area is cp.\nWrite MasterClear flag OK.' ] ||
    e2e_fail "switch log: $(e2e_switch_log)"
  [ "$(tr '\n' ' ' <"$handset/flags.txt")" = "update cp-area masterclear " ] ||
    e2e_fail "flags: $(cat "$handset/flags.txt")"
}

# The normal page shows once its link has opened, after the handset's program has rebooted the
# handset. The program runs on an emulated processor beside the page, which tries to open the
# link without a pause, so on a busy machine it may take its time.
e2e_await_normal_page() {
  e2e_log "preparation done; waiting for the normal page"
  e2e_drive --timeout 40000 page "$TITLE" text 1016 "Usb Sync Open"
  e2e_log "the normal page shows"
}

# A kit that carries the switch tool built for a PC: the handset takes the copy but, as a
# handset would, does not start a program that is not a Windows CE one for ARM, and the wizard
# ends on the error page. Nothing on the handset changes.
scenario_pc_switch_tool() {
  local kit=$E2E_WORK/kit handset=$E2E_WORK/handset
  e2e_kit "$kit" --os-size 1
  cp "$E2E_BIN/QuilloDesktopTest.exe" "$kit/Quillo.exe"
  e2e_handset "$handset" "version=Kov ROM 1.0" "charge=90"
  e2e_start "$kit" KovShop.exe
  local shop=$E2E_PID
  e2e_drive "${TO_PREPARATION[@]}" click 1005 click 1001 gone \
    page "$TITLE" text 1020 "ERROR : UPDATE ERROR" \
    text 1021 "Update process is interrupted for unknown reason." text 1023 "Check the follow" \
    count "$TITLE" 1 shot preparation-pc-switch-tool click 2 gone
  e2e_exits "$shop"
  cmp -s "$kit/Quillo.exe" "$handset/files/Temp/Quillo.exe" ||
    e2e_fail "the switch tool was not copied"
  grep -qx 'start refused: not a handset program: machine 0x\(014C\|8664\) is not ARM' \
    "$handset/journal.txt" || e2e_fail "journal: $(cat "$handset/journal.txt")"
  local trace
  for trace in flags.txt files/Temp/log.txt rebooted exited calls.txt; do
    [ ! -e "$handset/$trace" ] || e2e_fail "the refused switch tool left $trace"
  done
}

# A handset that ActiveSync lists but that opens no session, as a locked one does: to the wizard
# no handset answers, so after the charge has been read three times it takes the rescue road;
# once the cable is plugged in, with the handset in its boot loader, the rescue page updates
# it. Nothing was copied onto the running handset.
scenario_locked_handset() {
  local kit=$E2E_WORK/kit handset=$E2E_WORK/handset
  e2e_kit "$kit" --signature 3 --os-size 1
  e2e_handset "$handset" "locked=init" "version=Kov ROM 1.0" "charge=80"
  e2e_vboot "$E2E_WORK/flashed"
  e2e_start "$kit" KovShop.exe
  local shop=$E2E_PID
  e2e_drive "${TO_PREPARATION[@]}" click 1005 click 1001 gone \
    popup "$TITLE" centred text 1010 "Verifying the information on your device, please wait..." \
    gone popup "$TITLE" at 0 0 text 1010 "Please connect the handset with PC using USB cable." \
    shot wait-locked-handset
  e2e_plug
  e2e_drive page "$TITLE" text 1029 "Usb Sync Open" picture 1017 141 click 1006 \
    like 1029 "Task is Successful (00 Minutes, ## Seconds)" shot update-locked-handset-done \
    click 2 gone
  e2e_exits "$shop"
  e2e_vboot_ends
  [ "$E2E_VBOOT_CODE" = 0 ] || e2e_fail "kovvboot ended with $E2E_VBOOT_CODE"
  e2e_flashed_equal "$kit" "$E2E_WORK/flashed"
  [ "$(cat "$handset/journal.txt")" = $'init: locked\ninit: locked\ninit: locked\ninit: locked' ] ||
    e2e_fail "journal: $(cat "$handset/journal.txt")"
  [ ! -e "$handset/files" ] || e2e_fail "something was copied onto the locked handset"
}

# The roads that end before the switch tool runs, each from what the running handset answers:
# a low registry charge, no charge value with a low or unreadable power status, and a switch
# tool that cannot be started (the copy fails and the handset holds none). The handset keeps
# its flags unset and never reboots.
scenario_preparation_stops() {
  local kit=$E2E_WORK/kit road handset
  e2e_kit "$kit" --os-size 1
  for road in battery warning connect start; do
    handset=$E2E_WORK/handset-$road
    case $road in
      battery) e2e_handset "$handset" "version=Kov ROM 1.0" "charge=49" ;;
      warning) e2e_handset "$handset" "percent=49" ;;
      connect) e2e_handset "$handset" "percent=0" ;;
      start) e2e_handset "$handset" "charge=50" "copy=fail" ;;
    esac
    e2e_start "$kit" KovShop.exe
    local shop=$E2E_PID
    e2e_drive "${TO_PREPARATION[@]}" click 1005 click 1001 gone
    case $road in
      warning)
        e2e_drive box "$LOW_BATTERY" title "WARNING" topmost 1 count "$TITLE" 0 \
          shot preparation-warning click 1 gone ;;
      *)
        local explanation
        case $road in
          battery) explanation="Update process is interrupted for unknown battery status." ;;
          connect) explanation=$CANNOT_CONNECT ;;
          start) explanation="Update process is interrupted for unknown reason." ;;
        esac
        e2e_drive page "$TITLE" text 1020 "ERROR : UPDATE ERROR" text 1021 "$explanation" \
          text 1023 "Check the follow" count "$TITLE" 1 shot "preparation-$road" click 2 gone ;;
    esac
    e2e_exits "$shop"
    [ ! -e "$handset/flags.txt" ] && [ ! -e "$handset/rebooted" ] ||
      e2e_fail "$road: the handset was sent to its boot loader"
    e2e_handset_gone
  done
}

# The handset's firmware refuses the update flag: the switch tool stops at once, logs nothing
# and reboots nothing, so no boot loader ever shows up. The wizard cannot know and goes on to
# the normal page, whose link gives up after a minute.
scenario_switch_tool_refused() {
  e2e_need_loader
  local kit=$E2E_WORK/kit handset=$E2E_WORK/handset
  e2e_kit "$kit" --os-size 1
  e2e_handset "$handset" "charge=90" "update_flag=fail"
  rm -f "$WINEPREFIX/dosdevices/wceusbsh001"
  e2e_start "$kit" KovShop.exe
  local shop=$E2E_PID
  e2e_drive "${TO_PREPARATION[@]}" click 1005 click 1001 gone \
    popup "$TITLE" centred text 1010 "Verifying the information on your device, please wait..." \
    quiet 58000
  e2e_drive --timeout 20000 box "Usb Sync cann't open! Update process is interrupted!" \
    title "Error" topmost 1 count "$TITLE" 0 click 1 gone
  e2e_exits "$shop"
  cmp -s "$kit/Quillo.exe" "$handset/files/Temp/Quillo.exe" ||
    e2e_fail "the switch tool was not copied"
  e2e_program_ran
  e2e_program_called "$(printf "$CONTROL" 0x0101208C 0)"
  [ ! -e "$handset/flags.txt" ] && [ ! -e "$handset/files/Temp/log.txt" ] &&
    [ ! -e "$handset/rebooted" ] || e2e_fail "the refused switch tool changed the handset"
  grep -qx 'start \\Temp\\Quillo.exe "other" flags=0x10' "$handset/journal.txt" ||
    e2e_fail "the switch tool was not started with \"other\""
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
      picture 1017 134 shot "error-mode-$mode" press enter quiet 500 click 2 gone
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
