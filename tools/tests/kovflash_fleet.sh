#!/usr/bin/env bash
# Several handsets at once: four virtual boot loaders on four ptys, updated by one kovflash run.
# One loses its cable half-way through the transfer and one refuses the key; the other two must
# finish with their flashed OS equal to the image's, and the summary and exit status must say
# which failed and why. Then --all over a folder of links to two ptys, with JSON events, and
# Ctrl-C with two devices in different stages.
#   kovflash_fleet.sh KOVFLASH KOVKIT KOVVBOOT
set -uo pipefail
flash=$1 kit=$2 vboot=$3
work=$(mktemp -d)
source "$(dirname "$0")/testlib.sh"
trap 'kill_vboots; rm -rf "$work"' EXIT

# start_vboot NAME OPTIONS...: a virtual boot loader saving into $work/NAME; its pty goes to
# ${pty[NAME]} once it has printed it.
declare -A pty
start_vboot() {
  local name=$1
  shift
  mkdir -p "$work/$name"
  launch_vboot "$vboot" "$work/$name.pty" --save "$work/$name" "$@"
  pty[$name]=$device
}
same_os() { tail -c +1025 "$work/kit/WMUPDAT.DIP" | cmp -s - "$work/$1/os.bin"; }

"$kit" make --out "$work/kit" --os-size 4 >/dev/null

start_vboot good1
start_vboot pulled --pull-at=block:20
start_vboot refuses --key=refuse
start_vboot good2
run_bounded "$flash" --device "${pty[good1]}" --device="${pty[pulled]}" \
  -d "${pty[refuses]}" --device "${pty[good2]}" "$work/kit"
wait_vboots
if [ "$status" -eq 7 ]; then pass; else fail "four handsets: exit status $status, wanted 7"; fi
summary=$(sed -n '/^Summary (2 of 4 handsets finished):$/,$p' <<<"$out")
check_summary() { # device, result, exit, state
  if grep -qE "^  $1 +$2 +exit +$3 +[0-9.]+ s  $4" <<<"$summary"; then pass; else
    fail "summary line for $1: \"$2\", exit $3"; fi
}
check_summary "${pty[good1]}" "finished" 0 "The handset has its new firmware."
check_summary "${pty[pulled]}" "transfer failed" 1 "The handset did not receive the whole image"
check_summary "${pty[refuses]}" "refused the key" 5 "The handset refused the kit"
check_summary "${pty[good2]}" "finished" 0 "The handset has its new firmware."
for name in good1 good2; do
  if same_os "$name"; then pass; else fail "$name: the flashed OS differs from the image"; fi
done
if [ ! -e "$work/pulled/os.bin" ] || ! same_os pulled; then pass; else
  fail "the handset whose cable was pulled holds the whole OS"; fi
if grep -qF "${pty[refuses]}: Error: Error, The image file is invalid, please contact with the operator to fetch a new image." <<<"$out"; then
  pass; else fail "the refused key's message does not name its device"; fi
[ "$failed" -eq 0 ] || echo "$out" | tail -n 30

# --all over links to two ptys, JSON: every device's events carry it, and the summary ends.
mkdir -p "$work/links"
start_vboot all1
start_vboot all2
ln -s "${pty[all1]}" "$work/links/ttyACM0"
ln -s "${pty[all2]}" "$work/links/ttyACM1"
KOVFLASH_ALL_GLOB="$work/links/ttyACM*" run_bounded "$flash" --all --json "$work/kit"
wait_vboots
if [ "$status" -eq 0 ] && python3 - "$out" "$work/links" <<'PY'
import json, sys
events = [json.loads(line) for line in sys.argv[1].splitlines()]
links = [sys.argv[2] + "/ttyACM0", sys.argv[2] + "/ttyACM1"]
assert events[-1]["event"] == "summary" and events[-1]["exit"] == 0, events[-1]
assert [d["device"] for d in events[-1]["devices"]] == links, events[-1]
assert all(d["result"] == "finished" for d in events[-1]["devices"])
for link in links:
    mine = [e for e in events if e.get("device") == link]
    assert [e["phase"] for e in mine if e["event"] == "phase"] == ["key", "transfer", "flashing"]
    assert [e["exit"] for e in mine if e["event"] == "result"] == [0]
assert all("device" in e for e in events if e["event"] in ("phase", "progress", "status"))
PY
then pass; else fail "--all with JSON events (exit status $status)"; echo "$out" | tail -n 5; fi
for name in all1 all2; do
  if same_os "$name"; then pass; else fail "$name: the flashed OS differs from the image"; fi
done

# Ctrl-C reaches every device: the one still sending stops at a block boundary, the one whose
# handset never appears stops waiting, and the summary says both.
start_vboot slow --late-ack 50@0
# The flasher gets the signal itself, as from a terminal; one still running at the bound is hung.
"$flash" --device "${pty[slow]}" --device "$work/absent" "$work/kit" >"$work/ctrlc.out" 2>&1 &
flash_pid=$! deadline=$((SECONDS + bound))
until grep -qF "${pty[slow]}: Upgrade OS" "$work/ctrlc.out" || ! kill -0 "$flash_pid" 2>/dev/null ||
  [ "$SECONDS" -ge "$deadline" ]; do sleep 0.05; done
kill -INT "$flash_pid" 2>/dev/null
while kill -0 "$flash_pid" 2>/dev/null && [ "$SECONDS" -lt "$deadline" ]; do sleep 0.05; done
if kill -0 "$flash_pid" 2>/dev/null; then
  kill -KILL "$flash_pid"
  wait "$flash_pid"
  tail -n 15 "$work/ctrlc.out"
  give_up "kovflash still running $bound s after its start, with Ctrl-C after \"Upgrade OS\""
fi
wait "$flash_pid"; status=$?
wait_vboots
out=$(cat "$work/ctrlc.out")
summary=$(sed -n '/^Summary (0 of 2 handsets finished):$/,$p' <<<"$out")
if [ "$status" -eq 130 ] &&
   grep -qF "${pty[slow]}: Stopping at the next block boundary (Ctrl-C again to force)..." <<<"$out" &&
   grep -qF "$work/absent: Stopping the wait for the handset (Ctrl-C again to force)..." <<<"$out"; then
  pass; else fail "Ctrl-C with two devices (exit status $status)"; echo "$out" | tail -n 12; fi
check_summary "${pty[slow]}" "stopped by Ctrl-C" 130 "Stopped at your request. The handset did not receive"
check_summary "$work/absent" "stopped by Ctrl-C" 130 "Stopped while waiting for the handset; nothing was sent."

KOVFLASH_ALL_GLOB="$work/none*" run_bounded "$flash" --all "$work/kit"
if [ "$status" -eq 4 ] && grep -qF "No handset in its boot loader was found." <<<"$out"; then
  pass; else fail "--all with no device present (exit status $status)"; fi

finish
