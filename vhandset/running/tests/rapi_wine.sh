#!/usr/bin/env bash
# The RAPI2 tests under Wine: the virtual running handset's COM server registered with regsvr32
# in the prefix, from a folder of its own that holds the handset's state, and unregistered
# again afterwards. Before registration the provider must find no handset.
#   rapi_wine.sh KOVWINE TEST_EXE SERVER_DLL
set -euo pipefail
kovwine=$1 exe=$2 dll=$3
folder=$(mktemp -d)
registered=
cleanup() {
  [ -n "$registered" ] && "$kovwine" regsvr32 /s /u "Z:${folder//\//\\}\\$(basename "$dll")" || true
  rm -rf "$folder"
}
trap cleanup EXIT
cp "$dll" "$folder/"
server="Z:${folder//\//\\}\\$(basename "$dll")"

"$kovwine" regsvr32 /s /u "$server" </dev/null || true
"$kovwine" "$exe" --gtest_filter='RapiUnregistered.*' </dev/null

"$kovwine" regsvr32 /s "$server" </dev/null
registered=1
KOV_VHANDSET_FOLDER="Z:${folder//\//\\}" "$kovwine" "$exe" --gtest_filter='-RapiUnregistered.*' </dev/null
