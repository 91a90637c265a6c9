#!/bin/sh
# Runs the page tests in headless Chromium from any folder; prints "N passed, N failed" last and
# exits non-zero when a test fails or the tests cannot run.
here=$(cd "$(dirname "$0")" && pwd)
cd "$here" || exit 1

summary() {
  echo "$1 passed, $2 failed"
}

if [ ! -f node_modules/playwright-core/package.json ] || [ ! -f node_modules/@axe-core/playwright/package.json ]; then
  if ! npm ci --no-audit --no-fund --prefer-offline --loglevel=error; then
    echo "page tests: npm ci failed" >&2
    summary 0 1
    exit 1
  fi
fi

tap=$(mktemp "${TMPDIR:-/tmp}/quorvel-page-tests.XXXXXX")
trap 'rm -f "$tap"' EXIT INT TERM

node --test \
  --test-reporter=spec --test-reporter-destination=stdout \
  --test-reporter=tap --test-reporter-destination="$tap" \
  ./*.test.mjs
status=$?

passed=$(sed -n 's/^# pass \([0-9][0-9]*\)$/\1/p' "$tap" | tail -n 1)
failed=$(sed -n 's/^# fail \([0-9][0-9]*\)$/\1/p' "$tap" | tail -n 1)
cancelled=$(sed -n 's/^# cancelled \([0-9][0-9]*\)$/\1/p' "$tap" | tail -n 1)
passed=${passed:-0}
failed=$(( ${failed:-0} + ${cancelled:-0} ))
if [ "$status" -ne 0 ] && [ "$failed" -eq 0 ]; then
  failed=1
fi
summary "$passed" "$failed"
[ "$status" -eq 0 ] && [ "$failed" -eq 0 ]
