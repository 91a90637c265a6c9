# Shared helpers for the GUI tests (sourced). Each test gets a private home and data folders and
# points every remote host at a closed local port unless it starts its own server.
set -euo pipefail

: "${QUORVEL_BIN:?QUORVEL_BIN must name the program}"
TEST_HOME=$(mktemp -d /tmp/quorvel-gui-XXXXXX)
export HOME="$TEST_HOME"
export XDG_DATA_HOME="$TEST_HOME/data" XDG_CONFIG_HOME="$TEST_HOME/config" XDG_CACHE_HOME="$TEST_HOME/cache"
export QUORVEL_TVDB_HOST=${QUORVEL_TVDB_HOST:-127.0.0.1:9}
export QUORVEL_FEED_HOST=${QUORVEL_FEED_HOST:-127.0.0.1:9}
export QUORVEL_UPDATE_HOST=${QUORVEL_UPDATE_HOST:-127.0.0.1:9}
ARTIFACTS="${QUORVEL_SOURCE_DIR:-.}/tests/artifacts/gui"
mkdir -p "$ARTIFACTS"

declare -a CLEANUP_PIDS=()
cleanup() {
  for pid in "${CLEANUP_PIDS[@]}"; do kill -9 "$pid" 2>/dev/null || true; done
  rm -rf "$TEST_HOME"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# wait_until SECONDS COMMAND...: polls every 0.1 s.
wait_until() {
  local limit=$1
  shift
  local end=$((SECONDS + limit))
  until "$@"; do
    [ $SECONDS -lt $end ] || return 1
    sleep 0.1
  done
}

is_running() { kill -0 "$1" 2>/dev/null; }

# Number of quorvel processes of this test (by its private HOME).
count_instances() {
  local n=0 pid
  for pid in $(pgrep -x quorvel || true); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "HOME=$TEST_HOME" && n=$((n + 1))
  done
  echo "$n"
}
