#!/usr/bin/env bash
# The Windows build of the flasher under Wine: it checks a kit, gives up with its own exit
# status when no handset appears on \\.\WCEUSBSH001, and updates two virtual boot loaders at
# once, their ptys linked as the prefix's wceusbsh001 and wceusbsh002, found by --all.
#   kovflash_wine.sh BINDIR KOVVBOOT   (kovflash.exe, kovkit.exe; Wine set up by
#   scripts/wine-env.sh; KOVVBOOT from the native build)
set -uo pipefail
bin=$1 kovvboot=$2
wine=$(cd "$(dirname "$0")/../.." && pwd)/scripts/kovwine
work=$(mktemp -d)
links=("$WINEPREFIX/dosdevices/wceusbsh001" "$WINEPREFIX/dosdevices/wceusbsh002")
source "$(dirname "$0")/testlib.sh"
# A Windows program's run includes starting Wine.
bound=30
trap 'kill_vboots; rm -f "${links[@]}"; rm -rf "$work"' EXIT
cd "$work"

# check NAME STATUS TEXT -- CMD...: runs CMD, wants STATUS and TEXT in its output.
check() {
  local name=$1 want=$2 text=$3
  shift 4
  run_bounded "$@"
  if [ "$status" = "$want" ] && grep -qF -- "$text" <<<"$out"; then pass; else
    fail "$name (exit status $status, wanted $want)"; echo "$out"; fi
}

"$wine" "$bin/kovkit.exe" make --out kit --os-size 1 --version-text "ROM for Wine" >/dev/null 2>&1

check "version" 0 'kovflash 2.1.1' -- "$wine" "$bin/kovflash.exe" --version
check "kit check" 0 'version text: "ROM for Wine"' -- "$wine" "$bin/kovflash.exe" --check kit
check "no handset" 4 'did not appear on \\.\WCEUSBSH001 within 1 s' -- \
  "$wine" "$bin/kovflash.exe" --wait=1 kit
check "--all with no handset" 4 'No handset in its boot loader was found.' -- \
  "$wine" "$bin/kovflash.exe" --all kit

if [ ! -x "$kovvboot" ]; then
  echo "no native kovvboot at $kovvboot: the update of two handsets is skipped"
else
  # Each serves every connection until it is killed: --all finds a device by opening and
  # closing it, which a virtual boot loader for one update takes as its update cut short. It
  # would end there, and the prefix's link would lead to a pty that the system gives to the
  # next program asking for one, perhaps another test's handset.
  for n in 1 2; do
    mkdir -p "flashed$n"
    serve_vboot "$kovvboot" "vboot$n.pty" --save "flashed$n"
    ln -sfn "$device" "${links[n - 1]}"
  done
  check "two handsets at once" 0 'Summary (2 of 2 handsets finished):' -- \
    "$wine" "$bin/kovflash.exe" --all kit
  for n in 1 2; do
    if ! kill -0 "${vboot_pids[n - 1]}" 2>/dev/null; then
      fail "handset $n: its virtual boot loader ended during the run; its link led elsewhere"
      continue
    fi
    # It saves what it was sent once the host has let go of it.
    deadline=$((SECONDS + bound))
    until tail -c +1025 kit/WMUPDAT.DIP | cmp -s - "flashed$n/os.bin" ||
      [ "$SECONDS" -ge "$deadline" ]; do sleep 0.05; done
    if tail -c +1025 kit/WMUPDAT.DIP | cmp -s - "flashed$n/os.bin"; then pass
    else fail "handset $n: the flashed OS differs from the image"; fi
  done
fi

finish
