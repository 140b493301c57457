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
trap 'kill_vboots; rm -f "${links[@]}"; rm -rf "$work"' EXIT
cd "$work"

check() { if [ "$1" = "$2" ] && grep -qF -- "$3" out.txt; then pass; else
  fail "$4 (exit status $1, wanted $2)"; cat out.txt; fi; }

"$wine" "$bin/kovkit.exe" make --out kit --os-size 1 --version-text "ROM for Wine" >/dev/null 2>&1

"$wine" "$bin/kovflash.exe" --version >out.txt 2>&1
check $? 0 'kovflash 2.1.1' "version"

"$wine" "$bin/kovflash.exe" --check kit >out.txt 2>&1
check $? 0 'version text: "ROM for Wine"' "kit check"

"$wine" "$bin/kovflash.exe" --wait=1 kit >out.txt 2>&1
check $? 4 'did not appear on \\.\WCEUSBSH001 within 1 s' "no handset"

"$wine" "$bin/kovflash.exe" --all kit >out.txt 2>&1
check $? 4 'No handset in its boot loader was found.' "--all with no handset"

if [ ! -x "$kovvboot" ]; then
  echo "no native kovvboot at $kovvboot: the update of two handsets is skipped"
else
  for n in 1 2; do
    mkdir -p "flashed$n"
    launch_vboot "$kovvboot" "vboot$n.pty" --save "flashed$n"
    ln -sfn "$device" "${links[n - 1]}"
  done
  timeout 120 "$wine" "$bin/kovflash.exe" --all kit >out.txt 2>&1
  check $? 0 'Summary (2 of 2 handsets finished):' "two handsets at once"
  wait_vboots
  for n in 1 2; do
    if tail -c +1025 kit/WMUPDAT.DIP | cmp -s - "flashed$n/os.bin"; then pass
    else fail "handset $n: the flashed OS differs from the image"; fi
  done
fi

finish
