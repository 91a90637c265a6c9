#!/usr/bin/env bash
# Twenty starts at the same moment: exactly one keeps running, the other nineteen exit 0, and the
# one left is still running after nineteen "started again" signals.
source "$(dirname "$0")/lib.sh"

declare -a pids=()
for _ in $(seq 20); do
  "$QUORVEL_BIN" >/dev/null 2>&1 &
  pids+=($!)
done
CLEANUP_PIDS+=("${pids[@]}")

# The losers end within seconds; give a loaded machine a minute.
ended=0 zero=0 running=()
deadline=$((SECONDS + 60))
while :; do
  running=()
  for pid in "${pids[@]}"; do is_running "$pid" && running+=("$pid"); done
  [ ${#running[@]} -le 1 ] && break
  [ $SECONDS -lt $deadline ] || break
  sleep 0.2
done
for pid in "${pids[@]}"; do
  is_running "$pid" && continue
  ended=$((ended + 1))
  if wait "$pid"; then zero=$((zero + 1)); else echo "pid $pid exited with $?"; fi
done
echo "20 starts: ${#running[@]} running, $ended ended ($zero with exit code 0)"
[ ${#running[@]} = 1 ] || fail "expected exactly one running instance, found ${#running[@]}"
[ "$zero" = 19 ] || fail "expected 19 exits with code 0, got $zero of $ended"

sleep 2
is_running "${running[0]}" || fail "the remaining instance ended after the others' signals"
[ "$(count_instances)" = 1 ] || fail "expected one instance, found $(count_instances)"
kill -TERM "${running[0]}"
echo "PASS"
