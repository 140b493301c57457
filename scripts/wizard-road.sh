# The wizard's roads against the virtual handset, for the main job and its benchmark:
# the real KovShop.exe under Wine, driven from outside by windriver as a user would, and the
# virtual boot loader on a pty that the Wine prefix sees as \\.\WCEUSBSH001. Sourced:
#
#   source scripts/wizard-road.sh     # after scripts/wine-env.sh
#   road_wine_start PREFIX            # a prefix of the road's own; a window on $DISPLAY when
#                                     # one answers, under a private Xvfb otherwise (which of
#                                     # the two in ROAD_DISPLAY)
#   road_kit DIR [kovkit options]     # KovShop.exe, Zentro_Comms.dll, Quillo.exe and a sample
#                                     # kit in DIR
#   road_handset DIR [LINE...]        # the virtual running handset, registered as the RAPI2
#                                     # class, its state (handset.ini lines) in DIR; the
#                                     # programs it starts run on the native build's loader
#                                     # under qemu-arm
#   road_plug_on_reboot               # plugs the pty in once the running handset has rebooted
#   road_vboot SAVE_DIR [options]     # kovvboot serving one update; its pty in ROAD_PTY
#   road_plug                         # the pty becomes the prefix's WCEUSBSH001
#   road_vboot_ends                   # waits for kovvboot; its exit status in ROAD_VBOOT_CODE
#   road_wizard DIR                   # KovShop.exe in DIR; its pid in ROAD_SHOP_PID
#   road_to_rescue_page SHOTS         # welcome, preparation, the connect-the-handset window,
#                                     # the cable plugged in, the rescue page ready
#   road_to_normal_page SHOTS         # welcome, preparation, the verifying window while the
#                                     # running handset is asked and reboots, the normal page
#                                     # ready
#   road_drive SHOTS COMMAND...       # windriver, screenshots in SHOTS
#   road_stop                         # ends everything started here
#
# Needs the native build's kovkit, kovvboot and ceload, qemu-arm, and the Windows build's
# KovShop.exe, Zentro_Comms.dll, Quillo.exe, VirtualRunningHandset.dll and windriver.exe.

ROAD_NATIVE_BIN=$KOV_ROOT/build/native/bin
ROAD_WIN_BIN=$KOV_ROOT/build/$KOV_WIN_PRESET/bin
ROAD_TITLE="Kov V2.1.1"
ROAD_VBOOT_SERVER=
ROAD_SHOP_PID=
ROAD_HANDSET=
ROAD_PLUG_WATCH=

road_wine_start() {
  export WINEPREFIX=$1
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    ROAD_DISPLAY="your display $DISPLAY"
    kov_wine_start
  else
    kov_wine_start --display
    ROAD_DISPLAY="a private X server ($DISPLAY)"
  fi
  kov_wine_desktop
}

road_kit() {
  local dir=$1
  shift
  mkdir -p "$dir"
  cp "$ROAD_WIN_BIN/KovShop.exe" "$ROAD_WIN_BIN/Zentro_Comms.dll" "$ROAD_WIN_BIN/Quillo.exe" "$dir/"
  "$ROAD_NATIVE_BIN/kovkit" make --out "$dir" "$@" >/dev/null
}

road_vboot() {
  local save=$1
  shift
  rm -f "$WINEPREFIX/dosdevices/wceusbsh001"
  coproc ROAD_VBOOT { exec "$ROAD_NATIVE_BIN/kovvboot" --once --save "$save" "$@"; }
  # Bash forgets a coproc's variables once it ends: its pid is kept apart.
  ROAD_VBOOT_SERVER=$ROAD_VBOOT_PID
  read -r -t 10 ROAD_PTY <&"${ROAD_VBOOT[0]}"
}

road_plug() {
  ln -sfn "$ROAD_PTY" "$WINEPREFIX/dosdevices/wceusbsh001"
}

road_handset() {
  ROAD_HANDSET=$1
  shift
  mkdir -p "$ROAD_HANDSET"
  rm -rf "$ROAD_HANDSET/files" "$ROAD_HANDSET/flags.txt" "$ROAD_HANDSET/journal.txt" \
    "$ROAD_HANDSET/rebooted" "$ROAD_HANDSET/calls.txt" "$ROAD_HANDSET/program.txt" \
    "$ROAD_HANDSET/exited"
  cp "$ROAD_WIN_BIN/VirtualRunningHandset.dll" "$ROAD_HANDSET/"
  {
    echo "loader=$ROAD_NATIVE_BIN/ceload"
    echo "emulator=$(command -v qemu-arm || echo /usr/bin/qemu-arm)"
    printf '%s\n' "$@"
  } >"$ROAD_HANDSET/handset.ini"
  "$KOV_ROOT/scripts/kovwine" regsvr32 /s "Z:${ROAD_HANDSET//\//\\}\\VirtualRunningHandset.dll" \
    </dev/null >/dev/null 2>&1
}

# The handset reboots into its boot loader, which then shows up as the USB serial device.
road_plug_on_reboot() {
  (
    while [ ! -e "$ROAD_HANDSET/rebooted" ]; do sleep 0.1; done
    road_plug
  ) &
  ROAD_PLUG_WATCH=$!
}

road_vboot_ends() {
  ROAD_VBOOT_CODE=0
  wait "$ROAD_VBOOT_SERVER" || ROAD_VBOOT_CODE=$?
  ROAD_VBOOT_SERVER=
  rm -f "$WINEPREFIX/dosdevices/wceusbsh001"
}

road_wizard() {
  (cd "$1" && exec "$KOV_ROOT/scripts/kovwine" KovShop.exe </dev/null >/dev/null 2>&1) &
  ROAD_SHOP_PID=$!
}

road_drive() {
  local shots=$1
  shift
  mkdir -p "$shots"
  "$KOV_ROOT/scripts/kovwine" "$ROAD_WIN_BIN/windriver.exe" --shots "Z:${shots//\//\\}" \
    --resources "Z:${ROAD_WIN_BIN//\//\\}\\KovShop.exe" "$@" </dev/null
}

road_to_rescue_page() {
  local shots=$1
  road_drive "$shots" page "$ROAD_TITLE" click 1002 click 1000 gone \
    page "$ROAD_TITLE" click 1005 click 1001 gone \
    popup "$ROAD_TITLE" text 1010 "Verifying the information on your device, please wait..." gone \
    popup "$ROAD_TITLE" text 1010 "Please connect the handset with PC using USB cable."
  road_plug
  road_drive "$shots" page "$ROAD_TITLE" text 1029 "Usb Sync Open" enabled 1006 1
}

# The normal page shows once its link has opened, after the handset's program, on an emulated
# processor beside the page's untiring attempts to open the link, has rebooted the handset.
road_to_normal_page() {
  local shots=$1
  road_drive "$shots" page "$ROAD_TITLE" click 1002 click 1000 gone \
    page "$ROAD_TITLE" click 1005 click 1001 gone
  road_drive "$shots" --timeout 60000 page "$ROAD_TITLE" text 1016 "Usb Sync Open" enabled 1006 1
}

road_stop() {
  if [ -n "$ROAD_PLUG_WATCH" ]; then
    kill "$ROAD_PLUG_WATCH" 2>/dev/null || true
    wait "$ROAD_PLUG_WATCH" 2>/dev/null || true
    ROAD_PLUG_WATCH=
  fi
  if [ -n "$ROAD_HANDSET" ]; then
    "$KOV_ROOT/scripts/kovwine" regsvr32 /s /u \
      "Z:${ROAD_HANDSET//\//\\}\\VirtualRunningHandset.dll" </dev/null >/dev/null 2>&1 || true
    ROAD_HANDSET=
  fi
  if [ -n "${ROAD_VBOOT_SERVER:-}" ]; then
    kill "$ROAD_VBOOT_SERVER" 2>/dev/null || true
    wait "$ROAD_VBOOT_SERVER" 2>/dev/null || true
    ROAD_VBOOT_SERVER=
  fi
  [ -n "${WINEPREFIX:-}" ] && rm -f "$WINEPREFIX/dosdevices/wceusbsh001"
  kov_wine_stop
  if [ -n "$ROAD_SHOP_PID" ]; then
    wait "$ROAD_SHOP_PID" 2>/dev/null || true
    ROAD_SHOP_PID=
  fi
}
