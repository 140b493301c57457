# Rails for end-to-end tests of the Windows programs in real windows. Sourced by a test script:
#
#   source e2e_lib.sh
#   e2e_begin NAME BIN_DIR OUT_DIR  # private X server, Wine prefix and virtual desktop; a work dir
#   e2e_kit DIR [kovkit make options] # a kit: KovShop.exe, Zentro_Comms.dll, Quillo.exe and
#                                   # WMUPDAT.DIP
#   e2e_start DIR PROGRAM [ARGS]    # starts a Windows program in DIR; its pid in E2E_PID
#   e2e_drive COMMAND...            # runs windriver (see testing/windriver/windriver.cpp)
#   e2e_exits PID [SECONDS]         # the program ends within SECONDS; its exit code in E2E_CODE
#   e2e_vboot SAVE_DIR [OPTIONS]    # the virtual boot loader on a pty, serving one update
#   e2e_plug                        # its pty becomes the prefix's \\.\WCEUSBSH001
#   e2e_vboot_ends [SECONDS]        # it ends within SECONDS; its exit status in E2E_VBOOT_CODE
#   e2e_handset DIR [LINE...]       # a running handset on ActiveSync: the RAPI2 class registered,
#                                   # its state (handset.ini lines) and results in DIR; its
#                                   # programs run on the native build's loader under qemu-arm
#   e2e_need_loader                 # skips (77) a scenario whose handset must run a program
#                                   # where the native build has not made the loader
#   e2e_plug_on_reboot              # plugs kovvboot in once the running handset has rebooted
#   e2e_program_ends [SECONDS]      # the handset's program ends; its exit status in
#                                   # E2E_PROGRAM_CODE
#   e2e_program_ran                 # it ended by returning, its calls recorded by the loader
#   e2e_program_called LINE...      # the loader recorded each LINE (handset/ce/loader/README.md)
#
# Every window is drawn inside Wine's virtual desktop, so title bars show in the screenshots
# that `e2e_drive shot NAME` takes; they end up as OUT_DIR/shots/NAME.png. On exit, pass or
# fail, everything started here is ended: Wine's processes, the X server, the work dir.

E2E_LIB_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
KOV_ROOT=${KOV_ROOT:-$(cd "$E2E_LIB_DIR/../../.." && pwd)}

# Z:\ is the Unix root inside Wine.
e2e_winpath() {
  local p=$1
  echo "Z:${p//\//\\}"
}

e2e_log() { echo "e2e[$E2E_NAME] $(e2e_seconds) s: $*" >>"$E2E_LOG"; }

e2e_fail() {
  e2e_log "FAILED: $*"
  exit 1
}

e2e_begin() {
  E2E_NAME=$1
  E2E_BIN=$(cd "$2" && pwd)
  E2E_OUT=$3
  mkdir -p "$E2E_OUT/shots"
  E2E_OUT=$(cd "$E2E_OUT" && pwd)
  E2E_WORK=$(mktemp -d "${TMPDIR:-/tmp}/kov-e2e-XXXXXX")
  E2E_LOG=$E2E_WORK/log
  E2E_SHOTS=$E2E_WORK/shots
  mkdir -p "$E2E_SHOTS"
  : >"$E2E_LOG"
  E2E_STARTED=$(date +%s.%N)
  trap e2e_end EXIT

  # A prefix of the tests' own, made once and kept in the build tree: nothing here touches
  # the prefix that other tests share, nor a user's.
  export KOV_WINEPREFIX=$E2E_OUT/wineprefix
  # shellcheck source=../../../scripts/wine-env.sh
  source "$KOV_ROOT/scripts/wine-env.sh"
  kov_wine_start --display >>"$E2E_LOG" 2>&1
  kov_wine_desktop
  e2e_log "started in $(e2e_seconds) s"
}

e2e_seconds() {
  echo "$(date +%s.%N) $E2E_STARTED" | awk '{ printf "%.1f", $1 - $2 }'
}

e2e_end() {
  local status=$?
  trap - EXIT
  [ "$status" = 0 ] || e2e_handset_state
  e2e_handset_gone
  kov_wine_stop >>"$E2E_LOG" 2>&1 || true
  if [ -n "${E2E_VBOOT_SERVER:-}" ]; then
    kill "$E2E_VBOOT_SERVER" 2>/dev/null || true
    wait "$E2E_VBOOT_SERVER" 2>/dev/null || true
  fi
  rm -f "${E2E_DEVICE_LINK:-}"
  local shot
  for shot in "$E2E_SHOTS"/*.bmp; do
    [ -e "$shot" ] || continue
    convert "$shot" -strip "$E2E_OUT/shots/$(basename "${shot%.bmp}").png" 2>>"$E2E_LOG" || true
  done
  e2e_log "ended in $(e2e_seconds) s, status $status"
  cat "$E2E_LOG"
  rm -rf "$E2E_WORK"
  exit "$status"
}

e2e_kit() {
  local dir=$1
  shift
  mkdir -p "$dir"
  # A kit rewritten under a running wizard keeps its programs: overwriting a running program's
  # file changes what it still has to read of itself (its pictures, for one).
  local file
  for file in KovShop.exe Zentro_Comms.dll Quillo.exe; do
    cmp -s "$E2E_BIN/$file" "$dir/$file" || cp "$E2E_BIN/$file" "$dir/"
  done
  (cd "$dir" && kovwine "$E2E_BIN/kovkit.exe" make --out . "$@" </dev/null >>"$E2E_LOG" 2>&1) ||
    e2e_fail "kovkit make $*"
}

e2e_start() {
  local dir=$1 program=$2
  shift 2
  e2e_log "start $program $* in $dir"
  cd "$dir"
  kovwine "$program" "$@" </dev/null >>"$E2E_LOG" 2>&1 &
  E2E_PID=$!
  cd - >/dev/null
}

e2e_drive() {
  (cd "$E2E_WORK" &&
    kovwine "$E2E_BIN/windriver.exe" --shots "$(e2e_winpath "$E2E_SHOTS")" \
      --resources "$(e2e_winpath "$E2E_BIN/KovShop.exe")" "$@" </dev/null >>"$E2E_LOG" 2>&1) ||
    e2e_fail "windriver $*"
}

# Waits up to LIMIT seconds for PID (WHAT, for the log) to end; its exit status in E2E_STATUS.
e2e_reap() {
  local pid=$1 limit=$2 what=$3 i
  for i in $(seq 1 $((limit * 10))); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$pid" 2>/dev/null && e2e_fail "$what still runs after $limit s"
  E2E_STATUS=0
  wait "$pid" || E2E_STATUS=$?
  e2e_log "$what ended with $E2E_STATUS"
}

e2e_exits() {
  e2e_reap "$1" "${2:-15}" "process $1"
  E2E_CODE=$E2E_STATUS
}

# The native build's virtual boot loader: the handset in its boot loader, on a pty. Scenarios
# that need it are skipped (77) when the native build has not made it.
KOV_NATIVE_BIN=${KOV_NATIVE_BIN:-$KOV_ROOT/build/native/bin}
# The user-mode ARM emulator that runs the running handset's programs.
KOV_QEMU_ARM=${KOV_QEMU_ARM:-$(command -v qemu-arm || echo /usr/bin/qemu-arm)}

e2e_need_vboot() {
  [ -x "$KOV_NATIVE_BIN/kovvboot" ] && return 0
  e2e_log "no native kovvboot in $KOV_NATIVE_BIN: build the native preset first; skipped"
  exit 77
}

e2e_vboot() {
  local save=$1
  shift
  e2e_need_vboot
  E2E_DEVICE_LINK=$WINEPREFIX/dosdevices/wceusbsh001
  rm -f "$E2E_DEVICE_LINK"
  coproc E2E_VBOOT { exec "$KOV_NATIVE_BIN/kovvboot" --once --save "$save" "$@" 2>>"$E2E_LOG"; }
  # Bash forgets a coproc's variables once it ends: its pid is kept apart.
  E2E_VBOOT_SERVER=$E2E_VBOOT_PID
  read -r -t 10 E2E_PTY <&"${E2E_VBOOT[0]}" || e2e_fail "kovvboot gave no pty"
  e2e_log "kovvboot $* on $E2E_PTY"
}

# As the user plugs in the cable: until now nothing answered as the device.
e2e_plug() {
  ln -sfn "$E2E_PTY" "$E2E_DEVICE_LINK"
  e2e_log "plugged $E2E_PTY in as wceusbsh001"
}

e2e_vboot_ends() {
  e2e_reap "$E2E_VBOOT_SERVER" "${1:-15}" kovvboot
  E2E_VBOOT_CODE=$E2E_STATUS
  E2E_VBOOT_SERVER=
  rm -f "$E2E_DEVICE_LINK"
}

# The virtual handset's flashed OS partition equals the kit's update image after its header.
e2e_flashed_equal() {
  local kit=$1 save=$2
  tail -c +1025 "$kit/WMUPDAT.DIP" | cmp -s - "$save/os.bin" ||
    e2e_fail "the flashed OS partition differs from the image's payload"
  e2e_log "flashed OS partition equals the image's payload ($(stat -c %s "$save/os.bin") bytes)"
}

# The virtual running handset: its COM server registered in the prefix as the RAPI2 class, from
# DIR, which holds its state and, afterwards, what happened to it (see
# vhandset/running/RunningHandset.h). Unregistered when the scenario ends, so a scenario
# without it finds no handset on ActiveSync, as on a PC without the desktop sync software.
# The programs it starts run on the native build's loader under the host's ARM emulator; a
# scenario's own lines come after those and may change them.
e2e_handset() {
  E2E_HANDSET=$1
  shift
  mkdir -p "$E2E_HANDSET"
  cp "$E2E_BIN/VirtualRunningHandset.dll" "$E2E_HANDSET/"
  {
    echo "loader=$KOV_NATIVE_BIN/ceload"
    echo "emulator=$KOV_QEMU_ARM"
    printf '%s\n' "$@"
  } >"$E2E_HANDSET/handset.ini"
  kovwine regsvr32 /s "$(e2e_winpath "$E2E_HANDSET/VirtualRunningHandset.dll")" </dev/null \
    >>"$E2E_LOG" 2>&1 || e2e_fail "regsvr32 of the virtual running handset"
  e2e_log "running handset registered: $*"
}

# What the running handset received and what its program did, for the log of a failed scenario.
e2e_handset_state() {
  [ -n "${E2E_HANDSET:-}" ] || return 0
  local file
  for file in journal.txt program.txt exited calls.txt flags.txt; do
    [ -e "$E2E_HANDSET/$file" ] || continue
    e2e_log "the running handset's $file:"
    sed 's/^/    /' "$E2E_HANDSET/$file" >>"$E2E_LOG"
  done
}

e2e_handset_gone() {
  [ -n "${E2E_PLUG_WATCH:-}" ] && kill "$E2E_PLUG_WATCH" 2>/dev/null && wait "$E2E_PLUG_WATCH"
  E2E_PLUG_WATCH=
  [ -n "${E2E_HANDSET:-}" ] || return 0
  kovwine regsvr32 /s /u "$(e2e_winpath "$E2E_HANDSET/VirtualRunningHandset.dll")" </dev/null \
    >>"$E2E_LOG" 2>&1 || true
  E2E_HANDSET=
}

e2e_need_loader() {
  [ -x "$KOV_NATIVE_BIN/ceload" ] && [ -x "$KOV_QEMU_ARM" ] && return 0
  e2e_log "no native ceload in $KOV_NATIVE_BIN, or no $KOV_QEMU_ARM: build the native preset and run scripts/setup.sh first; skipped"
  exit 77
}

# The program the running handset started last ends within SECONDS (it reports through the
# file "exited", since Wine hands back no exit status of a Linux program).
e2e_program_ends() {
  local limit=${1:-15} i
  for i in $(seq 1 $((limit * 10))); do
    [ -n "$(sed -n '1p' "$E2E_HANDSET/exited" 2>/dev/null)" ] && break
    sleep 0.1
  done
  E2E_PROGRAM_CODE=$(sed -n '1p' "$E2E_HANDSET/exited" 2>/dev/null)
  [ -n "$E2E_PROGRAM_CODE" ] || e2e_fail "the handset's program still runs after $limit s"
  e2e_log "the handset's program ended with $E2E_PROGRAM_CODE"
}

e2e_program_ran() {
  e2e_program_ends
  [ "$E2E_PROGRAM_CODE" = 0 ] ||
    e2e_fail "the handset's program ended with $E2E_PROGRAM_CODE: $(cat "$E2E_HANDSET/program.txt")"
  [ "$(tail -n 1 "$E2E_HANDSET/calls.txt" 2>/dev/null)" = "return 0" ] ||
    e2e_fail "the loader recorded no return of the handset's program"
}

e2e_program_called() {
  local line
  for line in "$@"; do
    grep -qxF -- "$line" "$E2E_HANDSET/calls.txt" ||
      e2e_fail "the handset's program made no call $line: $(cat "$E2E_HANDSET/calls.txt")"
  done
}

# The running handset reboots into its boot loader, which then shows up as the USB serial
# device: the pty of the kovvboot that e2e_vboot started is plugged in once the handset says
# it rebooted, and never if it does not.
e2e_plug_on_reboot() {
  (
    while [ ! -e "$E2E_HANDSET/rebooted" ]; do sleep 0.1; done
    ln -sfn "$E2E_PTY" "$E2E_DEVICE_LINK"
  ) &
  E2E_PLUG_WATCH=$!
}

# The handset's switch log, one entry a line without its tick count.
e2e_switch_log() {
  sed -e '/^$/d' -e 's/^\[-\{0,1\}[0-9]\{8,\}\]//' "$E2E_HANDSET/files/Temp/log.txt"
}
