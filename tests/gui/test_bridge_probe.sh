#!/usr/bin/env bash
# The GTK browser window on its own: values both ways, argument kinds, engine errors, order,
# throughput figures, and no web process after it is destroyed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
sandbox=$(mktemp -d)
trap 'rm -rf "$sandbox"' EXIT
export HOME="$sandbox" XDG_DATA_HOME="$sandbox/data" XDG_CONFIG_HOME="$sandbox/config" \
  XDG_CACHE_HOME="$sandbox/cache"
exec "$QUORVEL_BUILD_DIR/tests/bridge_probe" "$here/pages/probe.html"
