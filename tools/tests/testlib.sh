# Shared by the flasher's shell tests: counting checks, runs with a bound, and virtual boot
# loaders on ptys.
#   source testlib.sh

# The longest any one step may take: a run of kovflash, a virtual boot loader naming its pty or
# ending after its update. A passing step needs a few seconds at most. A step still going at
# the bound is hung, and every later step would most likely hang as well, so the script ends
# there rather than at ctest's limit.
bound=15

passed=0 failed=0
pass() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "FAIL: $*"; }
# The count, and whether every check passed as the exit status.
finish() {
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}
# Ends the script at once: what hung, and that the checks after it were not run.
give_up() {
  fail "$*"
  echo "The checks after this one were not run."
  finish
  exit 1
}

# run_bounded CMD...: runs CMD, leaving what it wrote (output and errors) in $out and its exit
# status in $status; gives up when it is still running after $bound s.
run_bounded() {
  out=$(timeout -k 2 "$bound" "$@" 2>&1)
  status=$?
  if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
    echo "$out" | tail -n 15
    give_up "still running after $bound s: $*"
  fi
}

# launch_vboot KOVVBOOT OUT OPTIONS...: starts a virtual boot loader for one update, waits for
# the line in OUT that names its pty, and leaves that in $device; its pid joins $vboot_pids.
# OUT is made afresh: a path left in it by an earlier one would be a pty that is no longer
# ours, perhaps by now another test's handset.
vboot_pids=()
launch_vboot() {
  local exe=$1 out=$2
  shift 2
  serve_vboot "$exe" "$out" --once "$@"
}
# serve_vboot KOVVBOOT OUT OPTIONS...: the same, for a virtual boot loader that serves every
# connection until it is killed.
serve_vboot() {
  local exe=$1 out=$2 waited
  shift 2
  rm -f "$out"
  "$exe" "$@" >"$out" 2>/dev/null &
  vboot_pids+=($!)
  device=
  for ((waited = 0; waited < bound * 20; waited++)); do
    [ -f "$out" ] && IFS= read -r device <"$out" && [ -n "$device" ] && return
    sleep 0.05
  done
  give_up "kovvboot $* named no pty within $bound s"
}
# Waits until every virtual boot loader has ended: each ends after its one update, once the
# host has let go of it. One still running at the bound is killed and counted as a failure.
wait_vboots() {
  local pid deadline=$((SECONDS + bound))
  for pid in "${vboot_pids[@]}"; do
    while kill -0 "$pid" 2>/dev/null && [ "$SECONDS" -lt "$deadline" ]; do sleep 0.05; done
    if kill -0 "$pid" 2>/dev/null; then
      kill "$pid" 2>/dev/null
      fail "a virtual boot loader (pid $pid) was still running $bound s after its update"
    fi
    wait "$pid" 2>/dev/null
  done
  vboot_pids=()
}
kill_vboots() {
  local pid
  for pid in "${vboot_pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait_vboots
}
