#!/usr/bin/env bash
# Runs the headless flasher as a user would and checks its exit status and what it says:
# kit checks, usage, a device that never comes, finished and failed updates of the virtual
# boot loader over a pty, silent handsets against the time limits, JSON events, and Ctrl-C
# once or twice in each phase.
#   kovflash_cli.sh KOVFLASH KOVKIT KOVVBOOT
set -uo pipefail
flash=$1 kit=$2 vboot=$3
work=$(mktemp -d)
source "$(dirname "$0")/testlib.sh"
trap 'kill_vboots; rm -rf "$work"' EXIT

# expect NAME STATUS PATTERN... -- CMD...: runs CMD, wants STATUS and every PATTERN in its output.
expect() {
  local name=$1 want=$2; shift 2
  local patterns=()
  while [ "$1" != -- ]; do patterns+=("$1"); shift; done
  shift
  run_bounded "$@"
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
start_vboot() { launch_vboot "$vboot" "$work/vboot.out" --save "$work/flashed" "$@"; }

"$kit" make --out "$work/good" --os-size 2 >/dev/null
"$kit" make --out "$work/lying" --os-size 3 --payload-bytes 1048576 >/dev/null
"$kit" make --out "$work/ipl" --os-size 1 --ipl-size 4096 --ipl-signature 3 >/dev/null
"$kit" make --out="$work/mode" --os-size=1 --mode=0x12 >/dev/null
"$kit" make --out "$work/controls" --os-size 1 --version-text $'ROM\a\e[31m2.0\n' >/dev/null
mkdir -p "$work/empty" "$work/flashed"

expect "help" 0 "usage: kovflash" "--json" -- "$flash" --help
for tool in "$flash" "$kit" "$vboot"; do
  expect "$(basename "$tool") --version" 0 "$(basename "$tool") 2.1.1" -- "$tool" --version
done
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
expect "check: IPL of another family" 3 "does not belong to the update image" \
  'The wizard shows: "Error, The IPL image doesn'"'"'t match OS image, please contact with the operator to fetch a them."' \
  -- "$flash" --check "$work/ipl"
expect "check: unknown update mode" 3 "unknown update mode 0x12" \
  'The wizard shows: "Error, no corresponding update mode."' -- "$flash" --check "$work/mode"
expect "check: control characters in the version text" 0 \
  'version text: "ROM\x07\x1B[31m2.0\x0A"' -- "$flash" --check "$work/controls"
if "$flash" --check "$work/controls" | grep -q $'[\a\e]'; then
  fail "a control character reached the terminal"; else pass; fi
expect "device never comes" 4 "did not appear on $work/nothing within 1 s" -- \
  "$flash" --device "$work/nothing" --wait 1 "$work/good"

start_vboot
expect "finished update" 0 "Upgrade OS" "Task is Successful (" "Congratulations, update completed." \
  "Elapsed:" "The handset has its new firmware." -- "$flash" --device "$device" "$work/good"
wait_vboots
if tail -c +1025 "$work/good/WMUPDAT.DIP" | cmp -s - "$work/flashed/os.bin"; then pass; else
  fail "the flashed OS differs from the image"; fi

start_vboot
run_bounded "$flash" --quiet --device "$device" "$work/good"
wait_vboots
if [ "$status" -eq 0 ] && [ "$out" = "The handset has its new firmware." ]; then pass; else
  fail "quiet mode prints only the result (exit status $status)"; echo "$out" | tail -n 5; fi

start_vboot --held-os FFFFFFFFFFFF
expect "quiet keeps every error line" 5 "Error: Error, version of image file is older" \
  "Error, Download OS Failed." -- "$flash" --quiet --device "$device" "$work/good"
wait_vboots

start_vboot --held-os FFFFFFFFFFFF
expect "version refused" 5 "Error: Error, version of image file is older" "Error, Download OS Failed." \
  "refused the kit" -- "$flash" --device "$device" "$work/good"
wait_vboots

# Silences: a handset quiet for 2 s while it writes its flash is slow, not dead, when the
# flashing limit allows it, even with a 1 s transfer limit; frozen ones end at their phase's limit.
start_vboot --silent-at stream:2:2000
expect "slow handset while flashing" 0 "The handset has its new firmware." -- \
  "$flash" --device "$device" --transfer-timeout 1 --flash-timeout=5 "$work/good"
wait_vboots
for frozen in "stream:2 6 --flash-timeout lost the connection to the handset while it was flashing" \
              "ack:5 1 --transfer-timeout A Problem occurred while sending the OS Image"; do
  read -r at want option text <<<"$frozen"
  start_vboot --silent-at "$at:600000"
  expect "frozen handset at $at" "$want" "$text" -- "$flash" --device "$device" "$option" 1 "$work/good"
  kill_vboots # still keeping quiet
done

start_vboot --firmware-error 7
expect "firmware error while flashing" 6 "Flash Firmware Error occurred:  code 7" \
  "may not start normally" -- "$flash" --device "$device" "$work/good"
wait_vboots

start_vboot
run_bounded "$flash" --json --device "$device" "$work/good"
wait_vboots
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
# ctrl_c PATTERN TIMES KIT: runs the flasher on $device, and once its output shows PATTERN (its
# handler is in place by then) presses Ctrl-C TIMES times; leaves the output in ctrlc.out and
# the exit status in $status. The flasher gets the signal itself, as from a terminal; one still
# running at the bound is hung.
ctrl_c() {
  "$flash" --device "$device" "$3" >"$work/ctrlc.out" 2>&1 &
  local flash_pid=$! n deadline=$((SECONDS + bound))
  until grep -qF -- "$1" "$work/ctrlc.out" || ! kill -0 "$flash_pid" 2>/dev/null ||
    [ "$SECONDS" -ge "$deadline" ]; do sleep 0.05; done
  for n in $(seq "$2"); do kill -INT "$flash_pid" 2>/dev/null; sleep 0.1; done
  while kill -0 "$flash_pid" 2>/dev/null && [ "$SECONDS" -lt "$deadline" ]; do sleep 0.05; done
  if kill -0 "$flash_pid" 2>/dev/null; then
    kill -KILL "$flash_pid"
    wait "$flash_pid"
    tail -n 15 "$work/ctrlc.out"
    give_up "kovflash still running $bound s after its start, Ctrl-C after \"$1\""
  fi
  wait "$flash_pid"; status=$?
}

# Ctrl-C once or twice in each phase. Each case: its name, the handset's options, the line after
# which Ctrl-C comes, how often, the kit, the exit status wanted, and what must be said; a text
# starting with ! must not be said, since a handset that fails on its own after Ctrl-C was not
# stopped by it. The late acknowledgements keep a transfer going for seconds after "Upgrade OS";
# a file request that the host cannot answer keeps the handset writing for three seconds, and a
# key answered two seconds late leaves time for Ctrl-C before the refusal.
while IFS='|' read -r -a c <&3; do
  name=${c[0]} want=${c[5]} texts=("${c[@]:6}")
  read -r -a options <<<"${c[1]}"
  start_vboot "${options[@]}"
  ctrl_c "${c[2]}" "${c[3]}" "$work/${c[4]}"
  wait_vboots
  if [ "$status" -ne "$want" ]; then
    fail "Ctrl-C $name: exit status $status, wanted $want"; tail -n 5 "$work/ctrlc.out"; continue
  fi
  for text in "${texts[@]}"; do
    if [ "${text:0:1}" = "!" ] && grep -qF -- "${text:1}" "$work/ctrlc.out"; then
      fail "Ctrl-C $name: \"${text:1}\" in the output"; tail -n 5 "$work/ctrlc.out"; continue 2
    elif [ "${text:0:1}" != "!" ] && ! grep -qF -- "$text" "$work/ctrlc.out"; then
      fail "Ctrl-C $name: no \"$text\" in the output"; tail -n 5 "$work/ctrlc.out"; continue 2
    fi
  done
  pass
done 3<<'CASES'
between blocks|--late-ack 50@0|Upgrade OS|1|big|130|Stopping at the next block boundary (Ctrl-C again to force)...|Stopped at your request|did not receive the whole image
twice during a transfer|--late-ack 3000@0|Upgrade OS|2|big|130|Forced to end. The handset did not receive the whole image and was not told to write it
while the handset writes its flash|--stream text:writing;file0;ack --answer-wait 3000|handset writing flash|1|good|0|The handset is writing its flash and cannot be stopped now|The handset has its new firmware.
twice while the handset writes its flash|--stream text:writing;file0;ack --answer-wait 3000|handset writing flash|2|good|130|Forced to end. The handset was left while writing its flash: it may not start normally.
before a firmware error while flashing|--stream text:writing;file0;error:7 --answer-wait 3000|handset writing flash|1|good|6|The handset is writing its flash and cannot be stopped now|Flash Firmware Error occurred:  code 7|The handset stopped while writing its flash|!Stopped at your request
before a refused key|--key refuse --silent-at key:1:2000|Downloading Data...|1|good|5|The handset refused the kit|!Stopped at your request
CASES

finish
