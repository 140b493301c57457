# Shared by the flasher's shell tests: counting checks, and virtual boot loaders on ptys.
#   source testlib.sh

passed=0 failed=0
pass() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "FAIL: $*"; }
# The count, and whether every check passed as the exit status.
finish() {
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}

# launch_vboot KOVVBOOT OUT OPTIONS...: starts a virtual boot loader for one update, waits for
# the line in OUT that names its pty, and leaves that in $device; its pid joins $vboot_pids.
vboot_pids=()
launch_vboot() {
  local exe=$1 out=$2
  shift 2
  "$exe" --once "$@" >"$out" 2>/dev/null &
  vboot_pids+=($!)
  device=
  for _ in $(seq 200); do
    IFS= read -r device <"$out" && [ -n "$device" ] && break
    sleep 0.05
  done
}
# Waits until every virtual boot loader has ended (each ends after its one update).
wait_vboots() {
  local pid
  for pid in "${vboot_pids[@]}"; do wait "$pid" 2>/dev/null; done
  vboot_pids=()
}
kill_vboots() {
  local pid
  for pid in "${vboot_pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait_vboots
}
