# Sourced by the scripts that run Windows programs: a private Wine prefix and, for windows that
# must be drawn, a private X server. kov_wine_stop leaves nothing running.
#
#   source scripts/wine-env.sh      # sets KOV_WIN_PRESET: windows, or windows-x64
#   kov_wine_start [--display]      # prefix (made once), wineserver, optionally Xvfb
#   kov_wine_desktop                # windows open inside one Wine desktop window
#   kovwine prog.exe ...            # or: ctest --preset "$KOV_WIN_PRESET"
#   kov_wine_stop
#
# The deliverables are 32-bit. Where the kernel runs no 32-bit programs (its IA-32 emulation is
# off), the 32-bit Wine loader cannot start, and the same sources built for x86_64 run the
# Windows tests under 64-bit Wine instead.

KOV_ROOT=${KOV_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}

if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  export WINEARCH=win32
  KOV_WIN_PRESET=windows
  export WINEPREFIX=${KOV_WINEPREFIX:-$KOV_ROOT/build/wineprefix}
else
  export WINEARCH=win64
  KOV_WIN_PRESET=windows-x64
  export WINEPREFIX=${KOV_WINEPREFIX:-$KOV_ROOT/build/wineprefix64}
fi
export WINEDEBUG=-all
# No Mono or Gecko installer dialogs when the prefix is made.
export WINEDLLOVERRIDES="mscoree,mshtml="
# Sourced twice, it keeps track of the X server it already started.
KOV_XVFB_PID=${KOV_XVFB_PID:-}

kovwine() { "$KOV_ROOT/scripts/kovwine" "$@"; }

kov_wine_start() {
  local want_display=
  [ "${1:-}" = "--display" ] && want_display=1

  if [ -n "$want_display" ] && [ -z "$KOV_XVFB_PID" ]; then
    local fdfile i
    fdfile=$(mktemp)
    Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$fdfile" >/dev/null 2>&1 &
    KOV_XVFB_PID=$!
    for i in $(seq 1 100); do
      [ -s "$fdfile" ] && break
      sleep 0.1
    done
    export DISPLAY=":$(head -n1 "$fdfile")"
    rm -f "$fdfile"
  fi

  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    kovwine wineboot -i </dev/null >/dev/null 2>&1
    wineserver -w
  fi
  # Wine's own fonts (fonts-wine) are where this Wine does not look for them: without them the
  # caption buttons' glyph font is missing and the buttons read "0 1 r", and the dialogs' font
  # falls back to another family. The prefix gets its own copy.
  if [ -d /usr/share/wine/fonts ]; then
    mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
    cp -u /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
  fi
  # Wine's helper processes must not inherit a test runner's output pipe, or the runner waits
  # for them forever: start them here, outside it.
  # A server still running for this prefix (one that a test before has not seen end yet) says so
  # with a failure status; it serves as well as a new one.
  wineserver -p 120 </dev/null >/dev/null 2>&1 || true
  kovwine cmd /c exit </dev/null >/dev/null 2>&1 || true
}

# Every window of the prefix opens inside one Wine desktop window of 1024x768, which draws the
# title bars that a bare X server without a window manager would leave out. Kept in the prefix.
kov_wine_desktop() {
  [ -f "$WINEPREFIX/.kov-desktop" ] && return 0
  kovwine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d kov /f </dev/null >/dev/null 2>&1
  kovwine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v kov /d 1024x768 /f \
    </dev/null >/dev/null 2>&1
  touch "$WINEPREFIX/.kov-desktop"
}

kov_wine_stop() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  if [ -n "$KOV_XVFB_PID" ]; then
    kill "$KOV_XVFB_PID" 2>/dev/null || true
    wait "$KOV_XVFB_PID" 2>/dev/null || true
    KOV_XVFB_PID=
  fi
}
