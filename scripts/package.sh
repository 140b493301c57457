# Sourced by scripts that make the package a user receives:
#
#   source scripts/package.sh
#   kov_make_package KITDIR OUT.exe   # binds KITDIR's files into OUT.exe with MakeKov.exe
#   ... run OUT.exe under Wine in an empty directory (kovwine OUT.exe) ...
#   kov_wine_stop
#
# KITDIR holds what the package carries (KovShop.exe, Zentro_Comms.dll, Quillo.exe,
# WMUPDAT.DIP, ...); every regular file in it is bound, subdirectories are not. MakeKov.exe is
# taken from the Windows build for this machine (build/windows or build/windows-x64, or
# $KOV_WIN_BIN). Wine is started when it is not yet running and left running for what follows;
# kov_wine_stop ends it.

KOV_ROOT=${KOV_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
# shellcheck source=wine-env.sh
source "$KOV_ROOT/scripts/wine-env.sh"

kov_make_package() {
  local kit=$1 out=$2
  local bin=${KOV_WIN_BIN:-$KOV_ROOT/build/$KOV_WIN_PRESET/bin}
  [ -f "$bin/MakeKov.exe" ] || { echo "no $bin/MakeKov.exe: build the $KOV_WIN_PRESET preset" >&2; return 1; }
  [ -d "$kit" ] || { echo "no kit directory $kit" >&2; return 1; }

  # MakeKov binds every file of its current directory, so it runs in a copy of the kit (linked
  # where it can be, not copied) and the user's kit stays as it is.
  local work
  work=$(mktemp -d "${TMPDIR:-/tmp}/kov-package-XXXXXX")
  local file
  for file in "$kit"/*; do
    [ -f "$file" ] || continue
    case ${file##*/} in Kov.exe | MakeKov.exe) continue ;; esac
    cp -l "$file" "$work/" 2>/dev/null || cp "$file" "$work/"
  done
  cp "$bin/MakeKov.exe" "$work/"

  kov_wine_start
  local said status=0
  said=$(cd "$work" && kovwine MakeKov.exe </dev/null 2>/dev/null | tr -d '\r') || status=$?
  if [ "$status" -ne 0 ] || [ "$(printf '%s\n' "$said" | tail -n1)" != "Kov bind succeed!" ] ||
    ! mv "$work/Kov.exe" "$out"; then
    printf '%s\n' "$said" >&2
    echo "MakeKov.exe did not bind $kit" >&2
    rm -rf "$work"
    return 1
  fi
  rm -rf "$work"
  echo "$out: $(stat -c %s "$out") bytes, $(printf '%s\n' "$said" | grep -c '^Bind .* OK! Length:') files"
}
