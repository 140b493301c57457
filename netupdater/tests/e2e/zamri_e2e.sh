#!/usr/bin/env bash
# Zamri in a real window: Zamri.exe runs under Wine, windriver presses its buttons and reads
# it, and a download goes to Debian's TFTP server on a loopback port, or to the native build's
# tftp_fault_server, which plays the faults of a network that Debian's server will not.
#
#   zamri_e2e.sh SCENARIO BIN_DIR OUT_DIR
#
# BIN_DIR holds the Windows build (Zamri.exe, windriver.exe); screenshots land in
# OUT_DIR/shots. Scenarios with the fault server are skipped (77) when the native build has
# not made it.
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/../../../wizard/tests/e2e/e2e_lib.sh"

TITLE="Zamri"
NOT_SELECTED="Do not select file or the selected file is not exist!"
CONFIRM="Update process will delete your personal data!Are you confirm to update your mobile?"
TFTPD_PID=
FAULT_PID=

# The remembered-path file is C:\to_path.dat of the tests' prefix.
remembered() { echo "$WINEPREFIX/drive_c/to_path.dat"; }

# Zamri writes the remembered-path file only after its file dialog has gone, so a check right
# after the dialog waits for it, up to five seconds.
wait_remembered() {
  for _ in $(seq 1 50); do
    [ -f "$(remembered)" ] && return 0
    sleep 0.1
  done
  e2e_fail "no C:\\to_path.dat five seconds after the file dialog"
}

# Debian's TFTP server on a free loopback port, serving $E2E_WORK/served; its port in
# TFTPD_PORT. It is ready once it answers a read request (curl's code 68: no such file).
start_server() {
  mkdir -p "$E2E_WORK/served"
  chmod 777 "$E2E_WORK/served"
  local attempt i
  for attempt in $(seq 1 20); do
    TFTPD_PORT=$((20000 + RANDOM % 40000))
    /usr/sbin/in.tftpd -L -c -u root -s -a "127.0.0.1:$TFTPD_PORT" "$E2E_WORK/served" \
      </dev/null >>"$E2E_LOG" 2>&1 &
    TFTPD_PID=$!
    for i in $(seq 1 50); do
      kill -0 "$TFTPD_PID" 2>/dev/null || break
      local code=0
      curl -s --max-time 1 --tftp-no-options -o /dev/null "tftp://127.0.0.1:$TFTPD_PORT/none" || code=$?
      if [ "$code" = 68 ]; then
        e2e_log "in.tftpd answers on port $TFTPD_PORT"
        return 0
      fi
    done
    stop_server
  done
  e2e_fail "in.tftpd did not start"
}

stop_server() {
  if [ -n "$TFTPD_PID" ]; then
    kill "$TFTPD_PID" 2>/dev/null || true
    wait "$TFTPD_PID" 2>/dev/null || true
    TFTPD_PID=
FAULT_PID=
  fi
}

# The native build's fault-playing server on a free loopback port with the faults given as
# options, serving $E2E_WORK/served; its port in TFTPD_PORT.
start_fault_server() {
  local server=$KOV_NATIVE_BIN/tftp_fault_server
  if [ ! -x "$server" ]; then
    e2e_log "no native tftp_fault_server in $KOV_NATIVE_BIN: build the native preset first; skipped"
    exit 77
  fi
  mkdir -p "$E2E_WORK/served"
  "$server" "$@" "$E2E_WORK/served" >"$E2E_WORK/faults.log" 2>>"$E2E_LOG" &
  FAULT_PID=$!
  for _ in $(seq 1 50); do
    TFTPD_PORT=$(awk '/^port /{ print $2 }' "$E2E_WORK/faults.log")
    if [ -n "$TFTPD_PORT" ]; then
      e2e_log "tftp_fault_server $* on port $TFTPD_PORT"
      return 0
    fi
    sleep 0.1
  done
  e2e_fail "tftp_fault_server did not start"
}

# Ends the fault server, which then says what reached it, into the log; that line in
# FAULT_TALLY (empty if it said nothing).
stop_fault_server() {
  [ -n "$FAULT_PID" ] || return 0
  kill -TERM "$FAULT_PID" 2>/dev/null || true
  wait "$FAULT_PID" 2>/dev/null || true
  FAULT_PID=
  cat "$E2E_WORK/faults.log" >>"$E2E_LOG"
  FAULT_TALLY=$(grep '^tally ' "$E2E_WORK/faults.log" || true)
}

# One number of the fault server's tally: writes, data, blocks, after-error, strays, complete.
tally() {
  echo "$FAULT_TALLY" | awk -v key="$1" '{ for (i = 1; i < NF; i++) if ($i == key) print $(i + 1) }'
}

# Zamri and a settings file pointing it at the loopback server, in a folder of their own
# ($E2E_WORK/zamri, or the one given).
program_dir() {
  local dir=${1:-$E2E_WORK/zamri}
  mkdir -p "$dir"
  cp "$E2E_BIN/Zamri.exe" "$dir/"
  printf '[setting]\r\nretrytimes=3\r\ntargetaddress=127.0.0.1\r\ntargetport=%s\r\n' \
    "${TFTPD_PORT:-9}" >"$dir/setting.ini"
}

# The window as its template draws it, with the remembered path shown exactly as stored;
# its About box from the system menu; closing the window ends the program.
scenario_window() {
  local stored='C:\images\doc.bin'
  printf '%s' "$stored" >"$(remembered)"
  program_dir
  e2e_start "$E2E_WORK/zamri" Zamri.exe
  local zamri=$E2E_PID
  e2e_drive page "$TITLE" title "$TITLE" text 1000 "$stored" text 1012 "" text 1009 "" \
    enabled 1007 1 enabled 1001 1 shot zamri \
    syscommand 16 page "About Ferolt" shot zamri-about click 1 gone \
    page "$TITLE" close gone
  e2e_exits "$zamri"
}

# Download with no file chosen says so and asks nothing; Browse offers only doc.bin files,
# and cancelled still writes the (empty) path field into the remembered-path file; Cancel to
# the question starts nothing and leaves Download enabled.
scenario_refusals() {
  rm -f "$(remembered)"
  program_dir
  e2e_start "$E2E_WORK/zamri" Zamri.exe
  local zamri=$E2E_PID
  e2e_drive page "$TITLE" text 1000 "" click 1007 \
    box "$NOT_SELECTED" title "$TITLE" shot zamri-not-selected click 1 gone \
    page "$TITLE" enabled 1007 1 click 1001 \
    page "Open" text 1136 "Files (doc.bin)" shot zamri-browse click 2 gone
  wait_remembered
  [ -f "$(remembered)" ] && [ ! -s "$(remembered)" ] ||
    e2e_fail "cancelled Browse did not leave an empty C:\\to_path.dat"

  # Chosen, the file's full path fills the field and is remembered.
  echo chosen >"$E2E_WORK/zamri/doc.bin"
  local chosen
  chosen=$(e2e_winpath "$E2E_WORK/zamri/doc.bin")
  e2e_drive page "$TITLE" click 1001 page "Open" click 1 gone page "$TITLE" text 1000 "$chosen" \
    close gone
  e2e_exits "$zamri"
  [ "$(cat "$(remembered)")" = "$chosen" ] || e2e_fail "C:\\to_path.dat holds $(cat "$(remembered)")"

  head -c 3000 /dev/urandom >"$E2E_WORK/doc.bin"
  printf '%s' "$(e2e_winpath "$E2E_WORK/doc.bin")" >"$(remembered)"
  e2e_start "$E2E_WORK/zamri" Zamri.exe
  zamri=$E2E_PID
  e2e_drive page "$TITLE" click 1007 box "$CONFIRM" title "$TITLE" shot zamri-confirm click 2 gone \
    page "$TITLE" enabled 1007 1 quiet 1500 text 1012 "" close gone
  e2e_exits "$zamri"
}

# A confirmed download to the loopback server arrives byte for byte, and the window says so.
scenario_download() {
  start_server
  program_dir
  head -c 300000 /dev/urandom >"$E2E_WORK/doc.bin"
  printf '%s' "$(e2e_winpath "$E2E_WORK/doc.bin")" >"$(remembered)"
  e2e_start "$E2E_WORK/zamri" Zamri.exe
  local zamri=$E2E_PID
  e2e_drive --timeout 60000 page "$TITLE" click 1007 box "$CONFIRM" click 1 gone \
    page "$TITLE" text 1012 "Download to Taget Success!" \
    textprefix 1009 "100% finished.mins: 00, secs: " enabled 1007 1 shot zamri-success
  cmp "$E2E_WORK/doc.bin" "$E2E_WORK/served/doc.bin" || e2e_fail "doc.bin arrived changed"

  # A second download at once, this time into silence: the server is gone.
  stop_server
  e2e_drive --timeout 30000 page "$TITLE" click 1007 box "$CONFIRM" click 1 gone \
    page "$TITLE" \
    text 1012 "Timeout!  The target may not in updating state, please check it and try again!" \
    text 1009 "" enabled 1007 1 close gone
  e2e_exits "$zamri"
}

# Every acknowledgement comes twice, as on a network that duplicates datagrams: the download
# succeeds, and each of its 586 blocks reached the server once.
scenario_duplicates() {
  start_fault_server --duplicate-acks
  program_dir
  head -c 300000 /dev/urandom >"$E2E_WORK/doc.bin"
  printf '%s' "$(e2e_winpath "$E2E_WORK/doc.bin")" >"$(remembered)"
  e2e_start "$E2E_WORK/zamri" Zamri.exe
  local zamri=$E2E_PID
  e2e_drive --timeout 60000 page "$TITLE" click 1007 box "$CONFIRM" click 1 gone \
    page "$TITLE" text 1012 "Download to Taget Success!" \
    textprefix 1009 "100% finished.mins: 00, secs: " enabled 1007 1 close gone
  e2e_exits "$zamri"
  stop_fault_server
  cmp "$E2E_WORK/doc.bin" "$E2E_WORK/served/doc.bin" || e2e_fail "doc.bin arrived changed"
  [ "$(tally data)" = 586 ] && [ "$(tally blocks)" = 586 ] ||
    e2e_fail "586 blocks went out as $(tally data) data datagrams"
}

# The server refuses block 5 with an error datagram whose text holds a line break, a terminal
# escape and quotes: the download ends at once, the status line quotes the text escaped, and
# nothing more reaches the server.
scenario_refused() {
  start_fault_server --error-at 5 3 $'Disk full\r\n\e[2J"x"'
  program_dir
  head -c 30000 /dev/urandom >"$E2E_WORK/doc.bin"
  printf '%s' "$(e2e_winpath "$E2E_WORK/doc.bin")" >"$(remembered)"
  e2e_start "$E2E_WORK/zamri" Zamri.exe
  local zamri=$E2E_PID
  # windriver reads \\ as one backslash.
  e2e_drive --timeout 15000 page "$TITLE" click 1007 box "$CONFIRM" click 1 gone \
    page "$TITLE" \
    text 1012 'Refused by target (error 3: "Disk full\\x0D\\x0A\\x1B[2J\\"x\\"")!  Download to Target failure!' \
    enabled 1007 1 shot zamri-refused quiet 1000 close gone
  e2e_exits "$zamri"
  stop_fault_server
  [ "$(tally data)" = 5 ] && [ "$(tally after-error)" = 0 ] ||
    e2e_fail "$(tally data) data datagrams, $(tally after-error) of them after the error"
}

# Zamri runs in a folder named in Cyrillic, Arabic and Hebrew, which no ANSI code page can
# spell; Browse picks doc.bin there, and the download reaches Debian's server whole.
scenario_widepath() {
  start_server
  local dir="$E2E_WORK/тест-ملف-קובץ"
  program_dir "$dir"
  head -c 100000 /dev/urandom >"$dir/doc.bin"
  rm -f "$(remembered)"
  e2e_start "$dir" Zamri.exe
  local zamri=$E2E_PID
  # The file dialog makes the chosen file's folder the current one, where setting.ini is read.
  e2e_drive --timeout 30000 page "$TITLE" click 1001 page "Open" click 1 gone \
    page "$TITLE" text 1000 "$(e2e_winpath "$dir/doc.bin")" click 1007 box "$CONFIRM" click 1 gone \
    page "$TITLE" text 1012 "Download to Taget Success!" enabled 1007 1 close gone
  e2e_exits "$zamri"
  cmp "$dir/doc.bin" "$E2E_WORK/served/doc.bin" || e2e_fail "doc.bin arrived changed"
}

[ $# -eq 3 ] || { echo "usage: $0 SCENARIO BIN_DIR OUT_DIR" >&2; exit 2; }
declare -F "scenario_$1" >/dev/null || { echo "no scenario $1" >&2; exit 2; }
e2e_begin "zamri_$1" "$2" "$3"
# The servers go first; e2e_end then reports the scenario's own status. Without set +e, a
# failed scenario's status would end the trap before e2e_end, leaving Wine and the X server.
trap 'status=$?; set +e; stop_server; stop_fault_server; (exit $status); e2e_end' EXIT
"scenario_$1"
e2e_log "passed"
