#!/usr/bin/env bash
# The update worker and the link inside Wine against kovvboot on a pty, linked as the prefix's
# wceusbsh001 device: a whole update whose flashed bytes must equal the image's payload, then
# cables pulled while the link writes a block and while it waits for an acknowledgement, each
# of which must end the update as a failed transfer instead of hanging it.
#   wine_pty_update.sh KOVWINE WINE_PTY_UPDATE_EXE KOVVBOOT
set -euo pipefail
kovwine=$1 exe=$2 kovvboot=$3
if [ ! -x "$kovvboot" ]; then
  echo "no native kovvboot at $kovvboot: build the native preset first"
  exit 77
fi
work=$(mktemp -d)
link="$WINEPREFIX/dosdevices/wceusbsh001"
vboot_pid=
cleanup() {
  [ -n "$vboot_pid" ] && kill "$vboot_pid" 2>/dev/null && wait "$vboot_pid" 2>/dev/null
  rm -f "$link"
  rm -rf "$work"
}
trap cleanup EXIT

run() { # name, how it must end (finished or transfer), kovvboot options...
  local name=$1 expected=$2
  shift 2
  mkdir -p "$work/$name"
  coproc VBOOT { exec "$kovvboot" --once --save "$work/$name" "$@"; }
  vboot_pid=$VBOOT_PID
  local device
  read -r -t 10 device <&"${VBOOT[0]}"
  ln -sfn "$device" "$link"
  # The bound covers a link that would hang on a pulled cable.
  timeout 120 "$kovwine" "$exe" "Z:$work/$name/payload.bin" "$expected"
  local status=0
  wait "$vboot_pid" || status=$?
  vboot_pid=
  echo "$name: kovvboot exit status $status"
  if [ "$expected" = finished ]; then
    [ "$status" -eq 0 ] && cmp "$work/$name/payload.bin" "$work/$name/os.bin"
    echo "$name: flashed OS partition equals the image's payload"
  else
    [ "$status" -eq 4 ]
  fi
}

run whole finished
run pulled_in_write transfer --pull-at block:300
run pulled_in_read transfer --pull-at ack:300
