#!/usr/bin/env bash
# The Windows build of the flasher under Wine: it checks a kit, and gives up with its own exit
# status when no handset appears on \\.\WCEUSBSH001.
#   kovflash_wine.sh BINDIR   (kovflash.exe, kovkit.exe; Wine set up by scripts/wine-env.sh)
set -uo pipefail
bin=$1
wine=$(dirname "$0")/../../scripts/kovwine
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

passed=0 failed=0
check() { if [ "$1" = "$2" ] && grep -qF -- "$3" out.txt; then passed=$((passed + 1)); else
  failed=$((failed + 1)); echo "FAIL: $4 (exit status $1, wanted $2)"; cat out.txt; fi; }

"$wine" "$bin/kovkit.exe" make --out kit --os-size 1 --version-text "ROM for Wine" >/dev/null 2>&1

"$wine" "$bin/kovflash.exe" --check kit >out.txt 2>&1
check $? 0 'version text: "ROM for Wine"' "kit check"

"$wine" "$bin/kovflash.exe" --wait 1 kit >out.txt 2>&1
check $? 4 'did not appear on \\.\WCEUSBSH001 within 1 s' "no handset"

"$wine" "$bin/kovflash.exe" --device COM1 kit >out.txt 2>&1
check $? 2 'always \\.\WCEUSBSH001' "no device option on Windows"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
