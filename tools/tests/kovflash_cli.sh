#!/usr/bin/env bash
# Runs the headless flasher as a user would and checks its exit status and what it says:
# kit checks, usage, a device that never comes, finished and failed updates of the virtual
# boot loader over a pty, silent handsets against the time limits, JSON events, and Ctrl-C
# between blocks.
#   kovflash_cli.sh KOVFLASH KOVKIT KOVVBOOT
set -uo pipefail
flash=$1 kit=$2 vboot=$3
work=$(mktemp -d)
vboot_pid=
cleanup() {
  [ -n "$vboot_pid" ] && kill "$vboot_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

passed=0 failed=0
pass() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "FAIL: $*"; }

# expect NAME STATUS PATTERN... -- CMD...: runs CMD, wants STATUS and every PATTERN in its output.
expect() {
  local name=$1 want=$2; shift 2
  local patterns=()
  while [ "$1" != -- ]; do patterns+=("$1"); shift; done
  shift
  local out status
  out=$(timeout 120 "$@" 2>&1); status=$?
  if [ "$status" -ne "$want" ]; then
    fail "$name: exit status $status, wanted $want"; echo "$out" | tail -n 15; return
  fi
  local p
  for p in "${patterns[@]}"; do
    if ! grep -qF -- "$p" <<<"$out"; then
      fail "$name: no \"$p\" in the output"; echo "$out" | tail -n 15; return
    fi
  done
  pass
}

# Starts the virtual boot loader with OPTIONS; sets $device to its pty.
start_vboot() {
  coproc VB { exec "$vboot" --once --save "$work/flashed" "$@"; }
  vboot_pid=$VB_PID
  read -r -t 10 device <&"${VB[0]}"
}
stop_vboot() {
  wait "$vboot_pid" 2>/dev/null
  vboot_pid=
}

"$kit" make --out "$work/good" --os-size 2 >/dev/null
"$kit" make --out "$work/lying" --os-size 3 --payload-bytes 1048576 >/dev/null
"$kit" make --out "$work/ipl" --os-size 1 --ipl-size 4096 --ipl-signature 3 >/dev/null
mkdir -p "$work/empty" "$work/flashed"

expect "help" 0 "usage: kovflash" "--json" -- "$flash" --help
expect "unknown option" 2 "unknown option --frobnicate" -- "$flash" --frobnicate
expect "help states the time limits" 0 "--transfer-timeout SECONDS" "(default 60)" \
  "--flash-timeout SECONDS" "(default 600)" -- "$flash" --help
expect "a time limit of no seconds" 2 "usage: kovflash" -- \
  "$flash" --device "$work/nothing" --flash-timeout 0 "$work/good"
expect "no device named" 2 "--device" -- "$flash" "$work/good"
expect "check: good kit" 0 "OS: 2097152 bytes from offset 1024" "The kit can be flashed." -- \
  "$flash" --check "$work/good"
expect "check: no kit" 3 "There is no update image WMUPDAT.DIP" "nothing was sent" -- \
  "$flash" --check "$work/empty"
expect "check: sizes that lie" 3 "OS partition" "ends past the end" -- "$flash" --check "$work/lying"
expect "check: IPL of another family" 3 "does not belong to the update image" -- \
  "$flash" --check "$work/ipl"
expect "device never comes" 4 "did not appear on $work/nothing within 1 s" -- \
  "$flash" --device "$work/nothing" --wait 1 "$work/good"

start_vboot
expect "finished update" 0 "Upgrade OS" "Task is Successful (" "Congratulations, update completed." \
  "Elapsed:" "The handset has its new firmware." -- "$flash" --device "$device" "$work/good"
stop_vboot
if tail -c +1025 "$work/good/WMUPDAT.DIP" | cmp -s - "$work/flashed/os.bin"; then pass; else
  fail "the flashed OS differs from the image"; fi

start_vboot
out=$(timeout 120 "$flash" --quiet --device "$device" "$work/good" 2>&1); status=$?
stop_vboot
if [ "$status" -eq 0 ] && [ "$out" = "The handset has its new firmware." ]; then pass; else
  fail "quiet mode prints only the result (exit status $status)"; echo "$out" | tail -n 5; fi

start_vboot --held-os FFFFFFFFFFFF
expect "version refused" 5 "Error: Error, version of image file is older" "Error, Download OS Failed." \
  "refused the kit" -- "$flash" --device "$device" "$work/good"
stop_vboot

# Silences: a handset quiet for 2 s while it writes its flash is slow, not dead, when the
# flashing limit allows it, even with a 1 s transfer limit; frozen ones end at their phase's limit.
start_vboot --silent-at stream:2:2000
expect "slow handset while flashing" 0 "The handset has its new firmware." -- \
  "$flash" --device "$device" --transfer-timeout 1 --flash-timeout 5 "$work/good"
stop_vboot
for frozen in "stream:2 6 --flash-timeout lost the connection to the handset while it was flashing" \
              "ack:5 1 --transfer-timeout A Problem occurred while sending the OS Image"; do
  read -r at want option text <<<"$frozen"
  start_vboot --silent-at "$at:600000"
  expect "frozen handset at $at" "$want" "$text" -- "$flash" --device "$device" "$option" 1 "$work/good"
  kill "$vboot_pid" 2>/dev/null # still keeping quiet
  stop_vboot
done

start_vboot --firmware-error 7
expect "firmware error while flashing" 6 "Flash Firmware Error occurred:  code 7" \
  "may not start normally" -- "$flash" --device "$device" "$work/good"
stop_vboot

start_vboot
out=$(timeout 120 "$flash" --json --device "$device" "$work/good" 2>/dev/null); status=$?
stop_vboot
if [ "$status" -eq 0 ] && python3 - "$out" <<'PY'
import json, sys
events = [json.loads(line) for line in sys.argv[1].splitlines()]
names = [e["event"] for e in events]
assert names[0] == "kit" and names[-1] == "result", names
assert events[-1]["exit"] == 0 and events[-1]["finished"] is True
phases = [e for e in events if e["event"] == "phase"]
assert [p["phase"] for p in phases] == ["key", "transfer", "flashing"], phases
assert phases[1]["partition"] == "OS" and phases[1]["bytes"] == 2097152
ranges = [e["range"] for e in events if e["event"] == "progress" and "range" in e]
assert 32 in ranges, ranges
assert any(e["event"] == "status" and e["text"].startswith("Task is Successful (") for e in events)
PY
then pass; else fail "json events (exit status $status)"; echo "$out" | tail -n 5; fi

"$kit" make --out "$work/big" --os-size 4 >/dev/null
start_vboot --late-ack 50@0
# --foreground: timeout must pass on Ctrl-C to the flasher alone, once, as a terminal would.
timeout --foreground 120 "$flash" --device "$device" "$work/big" >"$work/ctrlc.out" 2>&1 &
flash_pid=$!
# Signal once the flasher says the OS transfer has begun: its handler is in place by then,
# and the late acknowledgements keep the transfer going for seconds after that line.
for _ in $(seq 600); do
  grep -qF "Upgrade OS" "$work/ctrlc.out" && break
  kill -0 "$flash_pid" 2>/dev/null || break
  sleep 0.05
done
kill -INT "$flash_pid"
wait "$flash_pid"; status=$?
stop_vboot
if [ "$status" -eq 130 ] && grep -qF "Stopped at your request" "$work/ctrlc.out" &&
   grep -qF "did not receive the whole image" "$work/ctrlc.out"; then pass; else
  fail "Ctrl-C between blocks (exit status $status)"; tail -n 5 "$work/ctrlc.out"; fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
