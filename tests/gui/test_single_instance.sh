#!/usr/bin/env bash
# One instance per user: a second start exits 0 at once and leaves the first running; the lock
# dies with a killed process; arguments change nothing.
source "$(dirname "$0")/lib.sh"

"$QUORVEL_BIN" --some-option >/dev/null 2>&1 &
first=$!
CLEANUP_PIDS+=("$first")
sleep 1.5
is_running "$first" || fail "the first instance did not keep running"

start=$(date +%s%N)
"$QUORVEL_BIN" || fail "the second instance exited non-zero"
elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
echo "second instance exited after ${elapsed_ms} ms"
[ "$elapsed_ms" -lt 3000 ] || fail "the second instance took ${elapsed_ms} ms"
is_running "$first" || fail "the first instance ended"
[ "$(count_instances)" = 1 ] || fail "expected one instance, found $(count_instances)"

kill -9 "$first"
wait "$first" 2>/dev/null || true
"$QUORVEL_BIN" &
next=$!
CLEANUP_PIDS+=("$next")
sleep 1.5
is_running "$next" || fail "a new start after SIGKILL did not keep running"
kill -TERM "$next"
wait "$next" && code=0 || code=$?
echo "after SIGTERM: exit code $code"
echo "PASS"
